// The page's static files (service/www), compiled into the program by
// web_embed.cmake.
#pragma once
#include <cstddef>

struct WebAsset {
    const char *name;          // file name, e.g. "app.js"
    const char *content_type;  // with charset for text
    const unsigned char *data;
    std::size_t size;
};

extern const WebAsset web_assets[];
extern const int web_asset_count;
