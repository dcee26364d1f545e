namespace qzr {

// Version of the shared support library, for diagnostics.
const char* CommonVersion() { return "0.1.0"; }

}  // namespace qzr
