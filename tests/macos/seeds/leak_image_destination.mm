// expect analyze: Potential leak of an object stored into 'destination'
// clean syntax
// An image destination that is never released.
#include <ImageIO/ImageIO.h>

bool writePng(CFMutableDataRef data, CGImageRef image) {
    CGImageDestinationRef destination = CGImageDestinationCreateWithData(data, CFSTR("public.png"), 1, nullptr);
    if (!destination) return false;
    CGImageDestinationAddImage(destination, image, nullptr);
    return CGImageDestinationFinalize(destination);
}
