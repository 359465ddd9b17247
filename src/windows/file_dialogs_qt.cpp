#include "windows/file_dialogs_qt.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace {

// "Desc|pattern|Desc|pattern|" as QFileDialog name filters, "Desc (patterns)". The dialog shows
// only the description (HideNameFilterDetails), which already names the patterns.
QStringList qtNameFilters(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            continue;
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == u"*.*")
                pattern = u"*"_s;
        }
        filters.append(parts[i] + u" ("_s + patterns.join(u' ') + u')');
    }
    return filters;
}

std::optional<QString> show(QFileDialog::AcceptMode mode, const FileDialogRequest& request)
{
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(mode);
    // AnyFile in an Open dialog: a typed name is taken whether or not the file exists.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOptions(QFileDialog::DontConfirmOverwrite | QFileDialog::DontUseNativeDialog
        | QFileDialog::HideNameFilterDetails);
    const QStringList filters = qtNameFilters(request.filter);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty())
        dialog.selectNameFilter(filters.value(request.filterIndex - 1, filters.first()));
    dialog.selectFile(request.fileName);
    const int result = dialog.exec();
    // The keyboard goes back to the window the dialog was over, also on a desktop without a
    // window manager to hand it back.
    if (QWidget* owner = dialog.parentWidget())
        owner->activateWindow();
    if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

} // namespace

std::optional<QString> QtFileDialogs::showOpen(const FileDialogRequest& request)
{
    return show(QFileDialog::AcceptOpen, request);
}

std::optional<QString> QtFileDialogs::showSave(const FileDialogRequest& request)
{
    return show(QFileDialog::AcceptSave, request);
}
