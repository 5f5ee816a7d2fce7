// Keeps the platform target non-empty on every build, whatever folders it has.
namespace nimbo { int PlatformAnchor = 0; }
