#include "widgets/EditorRows.h"

#include "viewmodels/ApplicationCatalog.h"
#include "widgets/CardView.h"
#include "widgets/EditProxy.h"
#include "widgets/Proxy.h"
#include "widgets/Theme.h"
#include "widgets/ThemedTextField.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace knokle::EditorRows {

namespace {

QPixmap applicationIcon(const std::string& name) {
    QIcon icon;
    if (!name.empty()) {
        QString text = QString::fromStdString(name);
        icon = QFileInfo(text).isAbsolute() ? QIcon(text) : QIcon::fromTheme(text);
    }
    if (!icon.isNull()) return icon.pixmap(kAppIconSize, kAppIconSize);
    return Theme::symbolImage("app.generic", Palette::textDim, kAppIconSize);
}

QWidget* rowOf(std::initializer_list<QWidget*> views, bool stretch) {
    auto* row = new QWidget;
    row->setMaximumWidth(kRowWidth);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    for (QWidget* view : views)
        layout->addWidget(view, 0, Qt::AlignVCenter);
    if (stretch) layout->addStretch(1);
    return row;
}

} // namespace

CardView* card(const std::string& symbol, const Colour& tint, const QString& title, const QString& addText,
               std::function<void()> onAdd, QWidget* body) {
    auto* add = new QPushButton(Theme::symbolImage("plus", Palette::neon, 14), "  " + addText);
    add->setFont(Theme::font(13));
    add->setCursor(Qt::PointingHandCursor);
    add->setStyleSheet(QString("QPushButton { background: %1; color: %2; border: 1px solid %3; border-radius: 6px;"
                               " padding: 4px 10px; } QPushButton:pressed { background: %4; }")
                           .arg(Theme::color(Palette::well).name(), Theme::color(Palette::text).name(),
                                Theme::color(Palette::border).name(), Theme::color(Palette::field).name()));
    Proxy::attach(add, std::move(onAdd));
    return CardView::make(Theme::symbolImage(symbol, tint), title, add, {body}, {14, 16, 10});
}

AppLook appLook(Workspace* workspace, const std::string& identifier) {
    // The application the identifier means here, so a mode from the other desktop shows this desktop's choice.
    std::optional<std::string> location;
    if (workspace) {
        if (auto found = workspace->lookUpApplication(identifier).application) location = found->location;
    }
    if (!location) {
        // A readable name that says the application is missing, not a raw identifier.
        return {QString::fromStdString(missingApplicationLabel(identifier)),
                Theme::symbolImage("app.generic", Palette::textDim, kAppIconSize), false};
    }
    QString name = QString::fromStdString(workspace->displayName(*location));
    name.remove(".app");
    return {name, applicationIcon(workspace->iconName(*location)), true};
}

QWidget* appRow(const AppLook& look, std::function<void()> onRemove) {
    auto* icon = new QLabel;
    icon->setFixedSize(kAppIconSize, kAppIconSize);
    icon->setPixmap(look.icon);
    icon->setObjectName("icon");
    auto* name = Theme::label(look.name, 13, QFont::Normal, Palette::text, true);
    name->setObjectName("name");
    auto* row = rowOf({removeButton(std::move(onRemove)), icon}, false);
    static_cast<QHBoxLayout*>(row->layout())->addWidget(name, 1);
    return row;
}

QComboBox* choiceBox() {
    auto* box = new QComboBox;
    box->setFont(Theme::font(13));
    box->setStyleSheet(QString("QComboBox { background: %1; color: %2; border: 1px solid %3; border-radius: 6px;"
                               " padding: 4px 10px; } QComboBox QAbstractItemView { background: %4; color: %2;"
                               " selection-background-color: %5; }")
                           .arg(Theme::color(Palette::field).name(), Theme::color(Palette::text).name(),
                                Theme::color(Palette::border).name(), Theme::color(Palette::card).name(),
                                Theme::color(Palette::neonFill).name()));
    return box;
}

QWidget* linkRow(const std::string& text, const QString& placeholder, MainLoop& loop,
                 std::function<void(const std::string&)> onChange, std::function<void()> onSubmit,
                 std::function<void()> onRemove) {
    auto* field = new ThemedTextField(QString::fromStdString(text), placeholder);
    field->setFixedWidth(kLinkFieldWidth);
    EditProxy::attach(field, loop, std::move(onChange), std::move(onSubmit));
    return rowOf({removeButton(std::move(onRemove)), field}, true);
}

QWidget* emptyRow(const QString& text) {
    return Theme::label(text, 12, QFont::Normal, Palette::textFaint, true);
}

QPushButton* removeButton(std::function<void()> onRemove) {
    auto* button = new QPushButton;
    button->setIcon(Theme::symbolImage("minus.circle.fill", Palette::bad));
    button->setIconSize(QSize(Theme::kSymbolSize, Theme::kSymbolSize));
    button->setFlat(true);
    button->setFixedSize(22, 22);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet("QPushButton { border: none; background: transparent; }");
    button->setObjectName("remove");
    Proxy::attach(button, std::move(onRemove));
    return button;
}

} // namespace knokle::EditorRows
