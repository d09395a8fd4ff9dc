// JavaScript functions of the web runner that replace Emscripten's own.
mergeInto(LibraryManager.library, {
  // fsync: what a file descriptor wrote is in the page's memory at once, and the page copies
  // its folders to IndexedDB while the game runs and when it ends. Emscripten's own fsync
  // would wait for a copy to IndexedDB, which suspends the program wherever a file is saved.
  fd_sync__deps: ['$FS'],
  fd_sync__sig: 'ii',
  fd_sync: function(fd) {
    return FS.getStream(fd) ? 0 : {{{ cDefine('EBADF') }}};
  },
});
