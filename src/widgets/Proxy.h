#pragma once

#include <QObject>
#include <functional>

class QAbstractButton;

namespace knokle {

// Carries a button's clicks to a closure. Owned by the button, so it lives exactly as long as the button.
class Proxy : public QObject {
    Q_OBJECT
public:
    static Proxy* attach(QAbstractButton* button, std::function<void()> action);
    void fire();

private:
    Proxy(QAbstractButton* button, std::function<void()> action);
    std::function<void()> action;
};

} // namespace knokle
