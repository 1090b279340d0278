#include "widgets/ApplicationChooser.h"

#include "widgets/AccentButton.h"
#include "widgets/Theme.h"
#include "widgets/ThemedTextField.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

namespace knokle {

namespace {

constexpr int kIdRole = Qt::UserRole;

QIcon iconFor(const std::string& name) {
    QString text = QString::fromStdString(name);
    QIcon icon;
    if (!text.isEmpty()) icon = QFileInfo(text).isAbsolute() ? QIcon(text) : QIcon::fromTheme(text);
    return icon.isNull() ? QIcon(Theme::symbolImage("app.generic", Palette::textDim, 22)) : icon;
}

} // namespace

ApplicationChooser::ApplicationChooser(std::vector<InstalledApplication> apps, QWidget* parent)
    : QDialog(parent), applications(std::move(apps)), rows(new QListWidget),
      field(new ThemedTextField("", "Search applications")) {
    setWindowTitle("Choose Applications");
    setWindowModality(Qt::WindowModal);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Theme::color(Palette::bg));
    colours.setColor(QPalette::Base, Theme::color(Palette::card));
    colours.setColor(QPalette::Text, Theme::color(Palette::text));
    colours.setColor(QPalette::Highlight, Theme::color(Palette::neonFill));
    colours.setColor(QPalette::HighlightedText, Theme::color(Palette::text));
    // Qt's defaults are dark texts for a light window: on the navy they could not be read.
    colours.setColor(QPalette::WindowText, Theme::color(Palette::text));
    colours.setColor(QPalette::ButtonText, Theme::color(Palette::text));
    colours.setColor(QPalette::Button, Theme::color(Palette::card));
    setPalette(colours);

    rows->setSelectionMode(QAbstractItemView::MultiSelection);
    rows->setIconSize(QSize(22, 22));
    rows->setFont(Theme::font(13));
    rows->setFrameShape(QFrame::NoFrame);
    Theme::styleScrollBar(rows);
    for (const auto& application : applications) {
        auto* item = new QListWidgetItem(iconFor(application.icon), QString::fromStdString(application.name), rows);
        item->setData(kIdRole, QString::fromStdString(application.identifier));
        item->setToolTip(QString::fromStdString(application.identifier));
    }
    connect(rows, &QListWidget::itemSelectionChanged, this, [this] { selectionChanged(); });
    connect(field, &QLineEdit::textChanged, this, [this](const QString& text) { search(text); });

    auto* add = new AccentButton("Add");
    auto* cancel = new QPushButton("Cancel");
    cancel->setObjectName("cancel");
    cancel->setFlat(true);
    cancel->setFont(Theme::font(13));
    connect(add, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(add);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(12);
    column->addWidget(field);
    column->addWidget(rows, 1);
    column->addLayout(buttons);
    resize(420, 480);
}

void ApplicationChooser::search(const QString& text) {
    std::string query = text.toStdString();
    for (int i = 0; i < rows->count(); ++i)
        rows->item(i)->setHidden(!matchesSearch(applications[size_t(i)], query));
}

int ApplicationChooser::shownCount() const {
    int shown = 0;
    for (int i = 0; i < rows->count(); ++i)
        shown += !rows->item(i)->isHidden();
    return shown;
}

void ApplicationChooser::toggle(const std::string& identifier) {
    for (int i = 0; i < rows->count(); ++i)
        if (rows->item(i)->data(kIdRole).toString().toStdString() == identifier)
            rows->item(i)->setSelected(!rows->item(i)->isSelected());
}

void ApplicationChooser::selectionChanged() {
    std::set<std::string> selected;
    for (auto* item : rows->selectedItems())
        selected.insert(item->data(kIdRole).toString().toStdString());
    // Keep the order of choosing: drop what was un-chosen, append what is new.
    std::erase_if(order, [&](const std::string& id) { return !selected.count(id); });
    for (int i = 0; i < rows->count(); ++i) {
        std::string id = rows->item(i)->data(kIdRole).toString().toStdString();
        if (selected.count(id) && std::find(order.begin(), order.end(), id) == order.end()) order.push_back(id);
    }
}

} // namespace knokle
