// TOV_API marks the declarations the shared library exports; everything else is built with hidden
// visibility and stays inside it.
#pragma once

#ifndef TOV_API
#define TOV_API __attribute__((visibility("default")))
#endif
