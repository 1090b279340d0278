#pragma once

#include "platform/MainLoop.h"
#include "platform/Workspace.h"
#include "viewmodels/Palette.h"

#include <QPixmap>
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QPushButton;
class QWidget;

namespace knokle {

class CardView;

// The mode editor's building blocks: its cards, the rows of their lists and the buttons in them.
namespace EditorRows {

inline constexpr int kRowWidth = 466;
inline constexpr int kLinkFieldWidth = 410;
inline constexpr int kAppIconSize = 22;

// A card: symbol, title and an add button over the body list.
CardView* card(const std::string& symbol, const Colour& tint, const QString& title, const QString& addText,
               std::function<void()> onAdd, QWidget* body);

// The name and icon of an installed application; a missing one is named by its identifier, with a generic icon.
struct AppLook {
    QString name;
    QPixmap icon;
    bool found = false;
};
AppLook appLook(Workspace* workspace, const std::string& identifier);

QWidget* appRow(const AppLook& look, std::function<void()> onRemove);
// A drop-down list in the windows' look.
QComboBox* choiceBox();
// A row with a field for one link or tab text.
QWidget* linkRow(const std::string& text, const QString& placeholder, MainLoop& loop,
                 std::function<void(const std::string&)> onChange, std::function<void()> onSubmit,
                 std::function<void()> onRemove);
QWidget* emptyRow(const QString& text);
QPushButton* removeButton(std::function<void()> onRemove);

} // namespace EditorRows
} // namespace knokle
