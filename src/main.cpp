#include "channel/request_loop.h"

int main() { channel::run(); }
