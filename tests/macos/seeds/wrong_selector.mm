// expect syntax: no known class method for selector 'runningApplicationWithProcessID:'
#include <AppKit/AppKit.h>

bool running(pid_t pid) { return [NSRunningApplication runningApplicationWithProcessID:pid] != nil; }
