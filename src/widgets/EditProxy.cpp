#include "widgets/EditProxy.h"

#include "common/UnicodeText.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>

namespace knokle {

namespace {

std::string trimmed(const QString& text) {
    return std::string(trimmedSpacesAndLineBreaks(text.toStdString()));
}

} // namespace

EditProxy::EditProxy(QLineEdit* field, MainLoop& loop) : QObject(field), field(field), loop(loop) {}

EditProxy::~EditProxy() {
    debounce.cancel();
}

EditProxy* EditProxy::attach(QLineEdit* field, MainLoop& loop, std::function<void(const std::string&)> onChange,
                             std::function<void()> onSubmit) {
    auto* proxy = new EditProxy(field, loop);
    proxy->onChange = std::move(onChange);
    proxy->onSubmit = std::move(onSubmit);
    // Only what the user types; text set by the program is not an edit.
    QObject::connect(field, &QLineEdit::textEdited, proxy, [proxy] { proxy->textChanged(); });
    field->installEventFilter(proxy);
    return proxy;
}

bool EditProxy::isEditing() const {
    return field->hasFocus();
}

void EditProxy::textChanged() {
    debounce.cancel();
    debounce = loop.after(Seconds(kTypingDelaySeconds), [self = QPointer<EditProxy>(this)] {
        if (!self) return;
        self->debounce = {};
        if (self->onChange) self->onChange(self->field->text().toStdString());
    });
}

void EditProxy::endEditing() {
    debounce.cancel();
    if (onChange) onChange(trimmed(field->text()));
}

void EditProxy::submit() {
    if (onChange) onChange(trimmed(field->text()));
    // Leaving the field ends editing, which delivers the text once more.
    if (field->hasFocus())
        field->clearFocus();
    else
        endEditing();
    if (onSubmit) onSubmit();
}

bool EditProxy::eventFilter(QObject* watched, QEvent* event) {
    // While the field is being destroyed it is no longer a line edit: nothing to deliver then.
    if (watched != field || !qobject_cast<QLineEdit*>(watched)) return false;
    if (event->type() == QEvent::FocusOut) {
        endEditing();
    } else if (event->type() == QEvent::KeyPress) {
        auto key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            submit();
            return true;
        }
    }
    return false;
}

} // namespace knokle
