#pragma once
// What a command gets from the window: where to report, how to ask the user, and the pointer.

#include <QString>
#include <functional>

#include "runtime/error_trap.h"
#include "runtime/message_boxes.h"

class QWidget;

namespace gg {

class Dialogs;

// Pointer values of the window: 0 arrow, 11 hourglass (the busy flag), 99 the hand.
enum PointerValue : int { kPointerDefault = 0, kPointerBusy = 11, kPointerHand = 99 };

struct CommandContext {
    ErrorReporter& reporter;
    MessageBoxes& boxes;
    Dialogs& dialogs;
    QWidget* owner;                     // parent of the dialogs
    QString appTitle;                   // title of plain message boxes
    std::function<int()> pointer;
    std::function<void(int)> setPointer;

    // A plain box: OK only, the application title, no icon.
    void showMessage(const QString& text) const { boxes.show(appTitle, text, BoxIcon::None, BoxButtons::Ok); }
};

} // namespace gg
