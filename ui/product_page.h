// The product web page: a page shipped inside the program (what it does, how to use it, where to
// report problems), written out to the user's data folder so that the default browser can show
// it without fetching anything.
#pragma once

#include <QUrl>

// The address of the page; writes the page first when it is missing or out of date. An empty
// URL when it cannot be written.
[[nodiscard]] QUrl productPageUrl();
