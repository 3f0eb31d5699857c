// expect analyze: is used to initialize a 32-bit integer
// clean syntax
#include <CoreFoundation/CoreFoundation.h>
#include <stdint.h>

int32_t layer(CFNumberRef number) {
    int32_t value = 0;
    CFNumberGetValue(number, kCFNumberSInt64Type, &value);
    return value;
}
