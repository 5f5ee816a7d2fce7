// Keeps the library target non-empty on every build, whatever folders it has.
namespace nimbo { int LibraryAnchor = 0; }
