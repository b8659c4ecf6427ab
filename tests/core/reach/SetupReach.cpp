// Built with the setup window's include path, not run: the folders of what it links are found,
// those of the libraries it does not link are not.
#if !__has_include("core/MessageWrite.h")
#error "the setup window does not reach core/, which it links"
#endif
#if !__has_include("state/SharedState.h")
#error "the setup window does not reach state/, which it links"
#endif
#if !__has_include("ui/BusyPointer.h")
#error "the setup window does not reach ui/, which it links"
#endif
#if __has_include("messages/tzSndMsgFrm.h")
#error "the setup window reaches messages/, which it does not link"
#endif
#if __has_include("events/EMS_EventsFrm.h")
#error "the setup window reaches events/, which it does not link"
#endif
#if __has_include("directory/StaffDirectory.h")
#error "the setup window reaches directory/, which it does not link"
#endif
#if __has_include("watcher/WatchState.h")
#error "the setup window reaches watcher/, which it does not link"
#endif
