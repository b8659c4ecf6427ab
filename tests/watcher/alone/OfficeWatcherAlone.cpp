// The watcher's public header with nothing but Qt and the other public headers on the path.
#include <tzsndmsg/OfficeWatcher.h>

QString officeWatcherAlone(const tzsndmsg::OfficeNotice& notice)
{
    return tzsndmsg::OfficeNotice::kindName(notice.kind);
}
