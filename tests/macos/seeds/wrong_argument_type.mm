// expect syntax: no known conversion from 'uint32_t' (aka 'unsigned int') to 'CGEventField'
// An integer where a typed event field is expected.
#include <ApplicationServices/ApplicationServices.h>

void setClickState(CGEventRef event, uint32_t field) { CGEventSetIntegerValueField(event, field, 2); }
