// Built with the message core's include path, not run: the folders of what it links are found,
// those of the libraries it does not link are not.
#if !__has_include("core/MessageWrite.h")
#error "the message core does not reach core/, which it links"
#endif
#if !__has_include("store/Schema.h")
#error "the message core does not reach store/, which it links"
#endif
#if !__has_include("db/Internals.h")
#error "the message core does not reach db/, which it links"
#endif
#if __has_include("ui/BusyPointer.h")
#error "the message core reaches ui/, which it does not link"
#endif
#if __has_include("state/SharedState.h")
#error "the message core reaches state/, which it does not link"
#endif
#if __has_include("watcher/WatchState.h")
#error "the message core reaches watcher/, which it does not link"
#endif
#if __has_include("messages/tzSndMsgFrm.h")
#error "the message core reaches messages/, which it does not link"
#endif
