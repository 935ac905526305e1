#include "runtime/message_boxes.h"

#include <QMessageBox>

namespace gg {

void setUpMessageBox(QMessageBox& box, const QString& title, const QString& text, BoxIcon icon, BoxButtons buttons)
{
    box.setWindowTitle(title);
    // The text may hold bare CRs; a label only breaks lines on LF.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // A line never breaks at a hyphen, so an e-mail address or a hyphenated name stays whole on
    // one line: a word joiner after each hyphen takes away the break Qt would allow there.
    shown.replace(QLatin1Char('-'), QStringLiteral("-\u2060"));
    box.setText(shown);
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case BoxIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case BoxIcon::Information: box.setIcon(QMessageBox::Information); break;
    case BoxIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case BoxIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case BoxIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    switch (buttons) {
    case BoxButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case BoxButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case BoxButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    }
    box.setWindowModality(Qt::ApplicationModal);
}

BoxAnswer QtMessageBoxes::show(const QString& title, const QString& text, BoxIcon icon, BoxButtons buttons)
{
    QMessageBox box(parent_);
    setUpMessageBox(box, title, text, icon, buttons);
    switch (box.exec()) {
    case QMessageBox::Cancel: return BoxAnswer::Cancel;
    case QMessageBox::Yes: return BoxAnswer::Yes;
    case QMessageBox::No: return BoxAnswer::No;
    default: return BoxAnswer::Ok;
    }
}

} // namespace gg
