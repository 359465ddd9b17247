#pragma once

class QWidget;

/// Makes Enter (either key) on a focused push button of the window press it, as Space does, as
/// it does on the terminal's original platform; in a dialog it then presses that button, not the
/// default one. Enter anywhere else is left to the window. Call it once the buttons exist.
void pressFocusedButtonsOnEnter(QWidget* window);
