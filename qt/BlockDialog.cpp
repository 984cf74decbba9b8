// 方块… on Qt: the table box, the blocks as check boxes in a tree of families, the quick choices,
// the count and the buttons, all drawn again from the model after each change.
#include "app/Texts.h"
#include "qt/WindowServices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <vector>

namespace tesselbox::qt {
namespace {

constexpr int GROUP_ROLE = Qt::UserRole;
constexpr int ROW_ROLE = Qt::UserRole + 1;

class BlockDialog : public QDialog {
public:
    BlockDialog(QWidget* owner, platform::BlockDialogModel& model) : QDialog(owner), model_(model) {
        setObjectName("blockDialog");
        setWindowTitle(QString::fromUtf8(texts::BLOCKS_TITLE));
        auto* layout = new QVBoxLayout(this);

        table_ = new QComboBox(this);
        table_->setObjectName("blockTable");
        for (const std::string& choice : model_.TableChoices()) table_->addItem(QString::fromUtf8(choice));
        table_->setCurrentIndex(static_cast<int>(model_.TableChoice()));
        connect(table_, &QComboBox::currentIndexChanged, this, [this](int index) {
            if (index < 0) return;
            model_.ChooseTable(static_cast<std::size_t>(index));
            Fill();
        });
        layout->addWidget(table_);

        blocks_ = new QTreeWidget(this);
        blocks_->setObjectName("blocks");
        blocks_->setHeaderHidden(true);
        blocks_->setMinimumSize(420, 360);
        connect(blocks_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
            if (item->parent() == nullptr) return;
            model_.CheckBlock(item->data(0, GROUP_ROLE).toULongLong(), item->data(0, ROW_ROLE).toULongLong(),
                              item->checkState(0) == Qt::Checked);
            Refresh();
        });
        layout->addWidget(blocks_);

        const auto quick = model_.QuickChoices();
        for (std::size_t k = 0; k < quick.size(); ++k) {
            auto* box = new QCheckBox(QString::fromUtf8(quick[k].text), this);
            box->setObjectName(QStringLiteral("quickChoice%1").arg(k));
            connect(box, &QCheckBox::toggled, this, [this, k](bool on) {
                model_.SetQuickChoice(k, on);
                Refresh();
            });
            quickChoices_.push_back(box);
            layout->addWidget(box);
        }

        count_ = new QLabel(this);
        count_->setObjectName("count");
        layout->addWidget(count_);

        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        ok_ = buttons->button(QDialogButtonBox::Ok);
        ok_->setText(QString::fromUtf8(texts::OK));
        buttons->button(QDialogButtonBox::Cancel)->setText(QString::fromUtf8(texts::CANCEL));
        auto* save = buttons->addButton(QString::fromUtf8(texts::SAVE_AS_COLOR_TABLE), QDialogButtonBox::ActionRole);
        save->setObjectName("saveAsColorTable");
        connect(save, &QPushButton::clicked, this, [this] { model_.SaveAsColorTable(); });
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addWidget(buttons);
        Fill();
    }

private:
    // A new list for the table shown.
    void Fill() {
        const QSignalBlocker quiet(blocks_);
        blocks_->clear();
        const auto groups = model_.Groups();
        for (std::size_t g = 0; g < groups.size(); ++g) {
            auto* family = new QTreeWidgetItem(blocks_, {QString::fromUtf8(groups[g].family)});
            for (std::size_t r = 0; r < groups[g].rows.size(); ++r) {
                auto* row = new QTreeWidgetItem(family, {QString::fromUtf8(groups[g].rows[r].text)});
                row->setData(0, GROUP_ROLE, qulonglong{g});
                row->setData(0, ROW_ROLE, qulonglong{r});
            }
            family->setExpanded(true);
        }
        Refresh();
    }

    // The check marks, the count and OK as the model has them now.
    void Refresh() {
        const QSignalBlocker quiet(blocks_);
        const auto groups = model_.Groups();
        for (int g = 0; g < blocks_->topLevelItemCount(); ++g) {
            QTreeWidgetItem* family = blocks_->topLevelItem(g);
            for (int r = 0; r < family->childCount(); ++r) {
                const platform::BlockRow& shown = groups[std::size_t(g)].rows[std::size_t(r)];
                QTreeWidgetItem* row = family->child(r);
                row->setFlags(shown.enabled ? Qt::ItemIsEnabled | Qt::ItemIsUserCheckable : Qt::ItemIsUserCheckable);
                row->setCheckState(0, shown.checked ? Qt::Checked : Qt::Unchecked);
            }
        }
        const auto quick = model_.QuickChoices();
        for (std::size_t k = 0; k < quickChoices_.size(); ++k) {
            const QSignalBlocker quietBox(quickChoices_[k]);
            quickChoices_[k]->setChecked(quick[k].on);
        }
        count_->setText(QString::fromUtf8(model_.CountText()));
        ok_->setEnabled(model_.CanAccept());
    }

    platform::BlockDialogModel& model_;
    QComboBox* table_ = nullptr;
    QTreeWidget* blocks_ = nullptr;
    std::vector<QCheckBox*> quickChoices_;
    QLabel* count_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace

bool WindowServices::RunBlockDialog(platform::BlockDialogModel& model) {
    BlockDialog dialog(DialogOwner(), model);
    return Exec(dialog) == QDialog::Accepted;
}

}  // namespace tesselbox::qt
