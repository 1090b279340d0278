#pragma once

#include "viewmodels/ApplicationCatalog.h"

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QListWidget;
class QLineEdit;

namespace knokle {

// Lists the installed desktop applications (name and icon), searchable, several at a time; yields their
// desktop entry IDs in the order the user chose them.
class ApplicationChooser : public QDialog {
public:
    ApplicationChooser(std::vector<InstalledApplication> applications, QWidget* parent = nullptr);

    // The IDs chosen so far, first chosen first.
    const std::vector<std::string>& chosen() const { return order; }
    // Shows only the applications that match the search text.
    void search(const QString& text);
    // Chooses or un-chooses the application with this ID, as a click on its row does.
    void toggle(const std::string& identifier);
    int shownCount() const;

    QListWidget* list() const { return rows; }
    QLineEdit* searchField() const { return field; }

private:
    void selectionChanged();

    std::vector<InstalledApplication> applications;
    std::vector<std::string> order;
    QListWidget* rows;
    QLineEdit* field;
};

} // namespace knokle
