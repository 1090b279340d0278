#pragma once

#include "platform/MainLoop.h"

#include <QObject>
#include <functional>
#include <string>

class QLineEdit;

namespace knokle {

// Carries a text field's edits to closures: the text as typed once typing has paused for half a second, the
// text trimmed when editing ends, and Return as "submit". Owned by the field, so it lives as long as the field.
class EditProxy : public QObject {
    Q_OBJECT
public:
    static constexpr double kTypingDelaySeconds = 0.5;

    static EditProxy* attach(QLineEdit* field, MainLoop& loop, std::function<void(const std::string&)> onChange,
                             std::function<void()> onSubmit = {});
    ~EditProxy() override;

    bool hasPendingEdit() const { return debounce.isScheduled(); }
    bool isEditing() const;
    // Ends editing now: a pending edit is delivered (trimmed) instead of waiting, so no keystroke is lost when
    // the rows are about to change.
    void endEditing();

    std::function<void(const std::string&)> onChange;
    std::function<void()> onSubmit;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    EditProxy(QLineEdit* field, MainLoop& loop);
    void textChanged();
    void submit();

    QLineEdit* field;
    MainLoop& loop;
    TimerHandle debounce;
};

} // namespace knokle
