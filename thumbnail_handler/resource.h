// Resource identifiers of Glimvex.
#pragma once

#define IDR_GLIMVEX 101        // REGISTRY: the AppID
#define IDR_MYFIRSTGLIMVEX 102 // REGISTRY: the extractor class
