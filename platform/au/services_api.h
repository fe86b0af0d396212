// Symbols of the host-process services library. Units link against it as a
// real unit links against the system frameworks: the declarations keep
// default visibility so that a unit built with hidden visibility still
// imports them, and nothing of the library ends up in the unit itself.
#pragma once

#define TARVEX_AU_SERVICES_API __attribute__((visibility("default")))
