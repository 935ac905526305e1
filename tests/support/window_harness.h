#pragma once
// A MainWindow with recorded boxes, scripted dialogs and a temporary program folder.

#include <QTemporaryDir>
#include <memory>

#include "runtime/dialogs.h"
#include "runtime/message_boxes.h"
#include "window/main_window.h"

namespace gg::test {

struct WindowHarness {
    QTemporaryDir programDir;
    RecordingMessageBoxes boxes;
    ScriptedDialogs dialogs;
    int endProgramCalls = 0;
    std::unique_ptr<MainWindow> form;

    // Builds the window (which runs its start-up). Prepare programDir first where needed.
    MainWindow& open()
    {
        WindowServices services;
        services.boxes = &boxes;
        services.dialogs = &dialogs;
        services.programFolder = programDir.path();
        services.endProgram = [this] { ++endProgramCalls; };
        form = std::make_unique<MainWindow>(std::move(services));
        return *form;
    }
    QString programFolder() const { return programDir.path(); }
};

} // namespace gg::test
