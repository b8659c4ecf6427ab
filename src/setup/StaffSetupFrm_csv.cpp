#include "StaffSetupFrm.h"
#include "tzsndmsg/StaffCsv.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "tzsndmsg/ui/Modal.h"

#include <QDir>
#include <QFileInfo>

namespace tzsndmsg {

namespace {

const QString kCsvFilter = QStringLiteral("CSV files (*.csv);;All files (*)");
// A box shows this many of a file's bad lines; the rest are counted.
constexpr int kProblemsShown = 12;

QString problemsText(const QList<StaffCsvProblem>& problems)
{
    QStringList lines;
    for (int i = 0; i < problems.size() && i < kProblemsShown; ++i)
        lines << problems.at(i).text();
    if (problems.size() > kProblemsShown)
        lines << QStringLiteral("... and %1 more.").arg(problems.size() - kProblemsShown);
    return lines.join(QLatin1Char('\n'));
}

QString summary(const StaffImportReport& report)
{
    return QStringLiteral("%1 to add, %2 to change, %3 to release, %4 to rehire, %5 unchanged.")
        .arg(report.added.size())
        .arg(report.changed.size())
        .arg(report.released.size())
        .arg(report.rehired.size())
        .arg(report.unchanged);
}

} // namespace

void StaffSetupFrm::importStaff()
{
    if (!settlePersonEdit())
        return;
    const QString path = ui::getOpenFileName(
        {this, QStringLiteral("Import staff"), kCsvFilter, QStringLiteral("csv"), QString(),
         m_csvFolder.isEmpty() ? QDir::homePath() : m_csvFolder});
    if (path.isEmpty())
        return;
    m_csvFolder = QFileInfo(path).absolutePath();
    auto db = database();
    if (!db)
        return;
    const QString name = QFileInfo(path).fileName();

    // Checked whole first: the user sees what the file would do before anything is written.
    StaffImportReport check;
    QString error;
    if (!importStaffCsvFile(*db, path, true, check, &error)) {
        const QString why = check.problems.isEmpty() ? error : problemsText(check.problems);
        report(false,
               QStringLiteral("%1 was not imported; nothing was changed.\n\n%2").arg(name, why));
        return;
    }
    if (check.added.isEmpty() && check.changed.isEmpty() && check.released.isEmpty() &&
        check.rehired.isEmpty()) {
        ui::MessageBox::show(
            {QStringLiteral("%1 holds no change to the office's people.").arg(name), windowTitle(),
             0, 64, 0});
        return;
    }
    if (ui::MessageBox::show({QStringLiteral("Import %1?\n\n%2").arg(name, summary(check)),
                              windowTitle(), 4, 32, 0}) != ui::vbYes)
        return;

    StaffImportReport done;
    const bool ok = importStaffCsvFile(*db, path, false, done, &error);
    // Another workstation may have changed the office since the check: the file is refused whole.
    if (!ok && error.isEmpty())
        error = problemsText(done.problems);
    if (report(ok, ok ? QString()
                      : QStringLiteral("%1 was not imported; nothing was changed.\n\n%2")
                            .arg(name, error))) {
        refreshPeople();
        refreshLogins();
    }
}

void StaffSetupFrm::exportStaff()
{
    QString path = ui::getSaveFileName({this, QStringLiteral("Export staff"), kCsvFilter,
                                        QStringLiteral("csv"), QStringLiteral("staff.csv"),
                                        m_csvFolder.isEmpty() ? QDir::homePath() : m_csvFolder});
    if (path.isEmpty())
        return;
    m_csvFolder = QFileInfo(path).absolutePath();
    if (QFileInfo::exists(path) &&
        ui::MessageBox::show({QStringLiteral("%1 exists. Replace it?").arg(path), windowTitle(), 4,
                              48, 256}) != ui::vbYes)
        return;
    auto db = database();
    if (!db)
        return;
    int count = 0;
    QString error;
    if (report(exportStaffCsvFile(*db, path, &count, &error), error))
        ui::MessageBox::show(
            {QStringLiteral("Wrote %1 %2 to %3.")
                 .arg(count)
                 .arg(count == 1 ? QStringLiteral("person") : QStringLiteral("people"), path),
             windowTitle(), 0, 64, 0});
}

} // namespace tzsndmsg
