// The product's version and publisher, in one place for the program (the "<VERSION>" text,
// the uninstall entry) and for its version resource (Version.rc). Plain preprocessor
// definitions, so that the resource compiler reads them too.
#pragma once

#define CV_VERSION_MAJOR 1
#define CV_VERSION_MINOR 4
#define CV_VERSION_REVISION 0
#define CV_VERSION_BUILD 672

#define CV_VERSION_STRINGIZE2(x) #x
#define CV_VERSION_STRINGIZE(x) CV_VERSION_STRINGIZE2(x)
// "1.4.0.672"
#define CV_VERSION_TEXT                                                  \
    CV_VERSION_STRINGIZE(CV_VERSION_MAJOR)                               \
    "." CV_VERSION_STRINGIZE(CV_VERSION_MINOR) "." CV_VERSION_STRINGIZE( \
        CV_VERSION_REVISION) "." CV_VERSION_STRINGIZE(CV_VERSION_BUILD)

// The publisher, as the uninstall entry and the version resource name it.
#define CV_PUBLISHER_TEXT "Corvane Software"
