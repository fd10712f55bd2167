// A library the entry module depends on: its export is reachable through the module's host
// handle but is not one of the module's own exports.
extern "C" __attribute__((visibility("default"))) int dependencyFunction() {
    return 7;
}
