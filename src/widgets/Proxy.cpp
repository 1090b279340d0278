#include "widgets/Proxy.h"

#include <QAbstractButton>

namespace knokle {

Proxy::Proxy(QAbstractButton* button, std::function<void()> action) : QObject(button), action(std::move(action)) {}

Proxy* Proxy::attach(QAbstractButton* button, std::function<void()> action) {
    auto* proxy = new Proxy(button, std::move(action));
    QObject::connect(button, &QAbstractButton::clicked, proxy, &Proxy::fire);
    return proxy;
}

void Proxy::fire() {
    if (action) action();
}

} // namespace knokle
