#pragma once

#include "core/result.h"

#include <type_traits>

// A step of an event handler gives back a Result<> when it can fail, nothing when it cannot.
namespace handler_policy_detail {
template <typename StepFn> Result<> run(StepFn& step)
{
    if constexpr (std::is_void_v<std::invoke_result_t<StepFn&>>) {
        step();
        return {};
    } else {
        return step();
    }
}
} // namespace handler_policy_detail

/// Trap and report: runs the steps in order, ends at the first that fails and shows its
/// description in a message box (anything with showMessage(QString), such as MessageBoxes).
/// Returns true when every step succeeded.
template <typename Boxes, typename... Steps> bool trapAndReport(Boxes& boxes, Steps&&... steps)
{
    Result<> result;
    // The fold stops at the first step that fails.
    static_cast<void>(((result = handler_policy_detail::run(steps), result.ok()) && ...));
    if (!result.ok())
        boxes.showMessage(result.error());
    return result.ok();
}

/// Skip and continue: runs every step in order; a step that fails is skipped silently.
template <typename... Steps> void skipAndContinue(Steps&&... steps)
{
    (static_cast<void>(handler_policy_detail::run(steps)), ...);
}
