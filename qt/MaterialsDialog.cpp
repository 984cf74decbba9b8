// 材料清单… on Qt: the list as a table, its summary, and the save and close buttons.
#include "app/Texts.h"
#include "qt/WindowServices.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace tesselbox::qt {

void WindowServices::ShowMaterials(const platform::MaterialsList& list, const std::function<void()>& saveCsv) {
    QDialog dialog(DialogOwner());
    dialog.setObjectName("materialsDialog");
    dialog.setWindowTitle(QString::fromUtf8(texts::MATERIALS_TITLE));
    auto* layout = new QVBoxLayout(&dialog);

    auto* table = new QTableWidget(int(list.rows.size()), int(list.headings.size()), &dialog);
    table->setObjectName("materials");
    QStringList headings;
    for (const std::string& heading : list.headings) headings << QString::fromUtf8(heading);
    table->setHorizontalHeaderLabels(headings);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (std::size_t r = 0; r < list.rows.size(); ++r) {
        for (std::size_t c = 0; c < list.rows[r].size(); ++c) {
            table->setItem(int(r), int(c), new QTableWidgetItem(QString::fromUtf8(list.rows[r][c])));
        }
    }
    table->resizeColumnsToContents();
    table->setMinimumSize(std::max(560, table->horizontalHeader()->length() + 40), 320);
    layout->addWidget(table);

    auto* summary = new QLabel(QString::fromUtf8(list.summary), &dialog);
    summary->setObjectName("summary");
    layout->addWidget(summary);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    buttons->button(QDialogButtonBox::Close)->setText(QString::fromUtf8(texts::CLOSE));
    auto* save = buttons->addButton(QString::fromUtf8(texts::SAVE_AS_CSV), QDialogButtonBox::ActionRole);
    save->setObjectName("saveAsCsv");
    QObject::connect(save, &QPushButton::clicked, &dialog, [&saveCsv] { saveCsv(); });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    Exec(dialog);
}

}  // namespace tesselbox::qt
