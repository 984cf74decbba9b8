// The open and save dialogs on Qt. They are Qt's own widgets, not the desktop's:
// a native dialog would take its patterns from the text shown ("(*.jpg;*.png;*.bmp)"), where the
// semicolons make them match nothing, and only Qt's can be told otherwise.
#include "qt/WindowServices.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>

namespace tesselbox::qt {
namespace {

// "*.jpg;*.png;*.bmp" as Qt patterns that match any letter case: "*.[jJ][pP][gG]" and so on.
// "*.*" means every file, also one without a dot.
QStringList Patterns(const char* pattern) {
    QStringList result;
    for (const QString& part : QString::fromUtf8(pattern).split(u';', Qt::SkipEmptyParts)) {
        if (part == u"*.*") {
            result << QStringLiteral("*");
            continue;
        }
        QString caseless;
        for (const QChar c : part) {
            if (c.toLower() != c.toUpper()) {
                caseless += u'[' + c.toLower() + c.toUpper() + u']';
            } else {
                caseless += c;
            }
        }
        result << caseless;
    }
    return result;
}

// "schem" for a filter of the one pattern "*.schem"; any other filter has no extension of its own.
QString FilterExtension(const char* pattern, const QString& otherwise) {
    const QString text = QString::fromUtf8(pattern);
    if (!text.startsWith(u"*.")) return otherwise;
    const QString extension = text.mid(2);
    const bool plain = !extension.isEmpty() && !extension.contains(u';') &&
                       !extension.contains(u'*') && !extension.contains(u'?') &&
                       !extension.contains(u'.');
    return plain ? extension : otherwise;
}

class FileDialog : public QFileDialog {
public:
    FileDialog(QWidget* owner, std::span<const platform::FileFilter> filters, const char* defaultExtension)
        : QFileDialog(owner), extension_(QString::fromUtf8(defaultExtension)) {
        setOption(DontUseNativeDialog);
        for (const platform::FileFilter& filter : filters) {
            texts_ << QString::fromUtf8(filter.text);
            patterns_ << Patterns(filter.pattern);
            extensions_ << FilterExtension(filter.pattern, extension_);
        }
        setNameFilters(texts_);
        // Qt applies a filter it picked from the text before filterSelected is emitted.
        connect(this, &QFileDialog::filterSelected, this, [this] { UsePatterns(); });
    }

    void StartOn(std::uint32_t filterNumber) {
        if (filterNumber >= 1 && filterNumber <= std::uint32_t(texts_.size())) {
            selectNameFilter(texts_[int(filterNumber - 1)]);
        }
        UsePatterns();
    }

    std::uint32_t FilterNumber() const { return std::uint32_t(texts_.indexOf(selectedNameFilter()) + 1); }

protected:
    // A name without an extension that names nothing gets the default one. Qt's own default
    // suffix does the same but is skipped when any folder of a typed path has a dot in its name.
    void accept() override {
        const QStringList files = selectedFiles();
        if (!files.isEmpty() && !extension_.isEmpty()) {
            const QFileInfo typed(files.first());
            if (!typed.exists() && !typed.fileName().isEmpty() && !typed.fileName().contains(u'.')) {
                selectFile(typed.absoluteFilePath() + u'.' + extension_);
            }
        }
        QFileDialog::accept();
    }

private:
    // A plain name gets the extension of the filter shown, as on Windows. Qt's own suffix also
    // decides whether the open button takes a typed name.
    void UsePatterns() {
        const qsizetype index = texts_.indexOf(selectedNameFilter());
        if (index >= 0) extension_ = extensions_[index];
        setDefaultSuffix(extension_);
        auto* model = findChild<QFileSystemModel*>();
        if (model != nullptr && index >= 0) model->setNameFilters(patterns_[index]);
    }

    QString extension_;
    QStringList texts_;
    QList<QStringList> patterns_;
    QStringList extensions_;
};

}  // namespace

std::optional<std::filesystem::path> WindowServices::ChooseFile(bool save, platform::FileDialogRecord& record,
                                                               std::span<const platform::FileFilter> filters,
                                                               const char* defaultExtension) {
    FileDialog dialog(DialogOwner(), filters, defaultExtension);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    dialog.StartOn(record.filterIndex);
    if (Exec(dialog) != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    record.filterIndex = dialog.FilterNumber();
    return std::filesystem::path(QFile::encodeName(files.first()).toStdString());
}

}  // namespace tesselbox::qt
