// What the program says about its maker: shown in the About box and given to
// Explorer in the version resource.
#pragma once

#define KESTRANE_COMPANY        "Kestrane authors"
#define KESTRANE_COPYRIGHT      "Copyright (C) 2026 " KESTRANE_COMPANY
