#pragma once

#include "platform/message_boxes.h"

#include <QString>

#include <optional>
#include <type_traits>

/// What a step of an event handler gives back: the failure's own description when it failed.
/// Steps that cannot fail return nothing.
using Failure = std::optional<QString>;

namespace handler_policy_detail {
template <typename StepFn> Failure run(StepFn& step)
{
    if constexpr (std::is_void_v<std::invoke_result_t<StepFn&>>) {
        step();
        return std::nullopt;
    } else {
        return step();
    }
}
} // namespace handler_policy_detail

/// Trap and report: runs the steps in order, ends at the first that fails and shows its
/// description in a message box. Returns true when every step succeeded.
template <typename... Steps> bool trapAndReport(MessageBoxes& boxes, Steps&&... steps)
{
    Failure failure;
    // The fold stops at the first step that fails.
    static_cast<void>(((failure = handler_policy_detail::run(steps), !failure) && ...));
    if (failure)
        boxes.showMessage(*failure);
    return !failure;
}

/// Skip and continue: runs every step in order; a step that fails is skipped silently.
template <typename... Steps> void skipAndContinue(Steps&&... steps)
{
    (static_cast<void>(handler_policy_detail::run(steps)), ...);
}
