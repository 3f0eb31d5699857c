// expect syntax: property 'bundleID' not found
#include <AppKit/AppKit.h>

bool hasBundle(NSRunningApplication* app) { return app.bundleID != nil; }
