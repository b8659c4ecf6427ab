#pragma once

#include <QString>

namespace tzsndmsg {
class HostServices;
}

namespace tzsndmsg::store {

// Deletes a message or event: header, addressee rows and detail row. Nothing for id 0.
void DeleteMessage(HostServices& services, qint64 cmId);

// Makes two separated lists disjoint: every entry of `to` is removed from `cc`
// (person ids with separator ",", computer names with separator "\n").
void RemoveToFromCc(HostServices& services, QString& to, QString& cc, const QString& separator);

} // namespace tzsndmsg::store
