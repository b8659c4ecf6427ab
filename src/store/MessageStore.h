#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tzsndmsg {
class HostServices;
}

namespace tzsndmsg::store {

// Deletes a message or event: header, addressee rows and detail row, all or none. Nothing for
// id 0. False with the reason, nothing deleted, when a statement fails or the header would still
// be stored (a signed-in office keeps a message from those who did not write it).
bool DeleteMessage(HostServices& services, qint64 cmId, QString* error = nullptr);

// Checks a list of person ids ("12,7," or "12,7") against the persons table: `found` gets the
// ids of persons that exist and work in the office, in the list's order; `unknown` the entries
// that are no person's id (not a whole number above 0, or no such person); `released` the ids
// of persons who have left the office (pDatRel set), or `unknown` when no list is given. False
// with a reason when the persons cannot be read; then nothing is known.
bool CheckPersonIds(HostServices& services, const QString& list, QList<qint32>& found,
                    QStringList& unknown, QString* error = nullptr,
                    QStringList* released = nullptr);

// Makes two separated lists disjoint: every entry of `to` is removed from `cc`
// (person ids with separator ",", computer names with separator "\n").
void RemoveToFromCc(HostServices& services, QString& to, QString& cc, const QString& separator);

} // namespace tzsndmsg::store
