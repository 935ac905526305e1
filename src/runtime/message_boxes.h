#pragma once
// Message boxes go through this interface so that tests can record them instead of blocking.

#include <QString>
#include <vector>

class QMessageBox;
class QWidget;

namespace gg {

enum class BoxIcon { None, Information, Warning, Critical, Question };
enum class BoxButtons { Ok, OkCancel, YesNo };
enum class BoxAnswer { Ok, Cancel, Yes, No };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows a modal box and returns the button pressed.
    virtual BoxAnswer show(const QString& title, const QString& text, BoxIcon icon,
                           BoxButtons buttons = BoxButtons::Ok) = 0;
};

// Gives a box its title, text, icon and buttons as the production boxes show them.
void setUpMessageBox(QMessageBox& box, const QString& title, const QString& text, BoxIcon icon, BoxButtons buttons);

// Production boxes: QMessageBox, modal to the application.
class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    BoxAnswer show(const QString& title, const QString& text, BoxIcon icon, BoxButtons buttons) override;

private:
    QWidget* parent_;
};

// Test boxes: keep every box shown and answer at once.
class RecordingMessageBoxes : public MessageBoxes {
public:
    struct Box {
        QString title;
        QString text;
        BoxIcon icon;
        BoxButtons buttons;
    };
    BoxAnswer show(const QString& title, const QString& text, BoxIcon icon, BoxButtons buttons) override
    {
        boxes.push_back({title, text, icon, buttons});
        return nextAnswer;
    }
    std::vector<Box> boxes;
    BoxAnswer nextAnswer = BoxAnswer::Ok;
};

} // namespace gg
