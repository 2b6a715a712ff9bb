// A printer: the page, the device resolution, documents and pages, and a canvas to draw them on.
#pragma once

#include "platform/Canvas.h"
#include "platform/Errors.h"
#include "platform/Fonts.h"
#include "platform/Types.h"

#include <string>

namespace quillet {

// The printer cannot start a document.
class EPrinter : public EQuilletError {
public:
    using EQuilletError::EQuilletError;
};

class IPrinter {
public:
    virtual ~IPrinter() = default;

    // The printer the next document goes to; a file name when it goes to a file.
    virtual std::string Name() const = 0;
    // The printable page in device pixels, with its origin at the page's top-left printable
    // corner, and the device's resolution in dots per inch.
    virtual TSize PageSize() const = 0;
    virtual int Resolution() const = 0;

    // A document with its job title. BeginDoc raises EPrinter when the printer refuses it;
    // NewPage finishes the page and starts the next; EndDoc sends the document; Abort ends
    // the job and discards what was drawn.
    virtual void BeginDoc(const std::string& title) = 0;
    virtual void NewPage() = 0;
    virtual void EndDoc() = 0;
    virtual void Abort() = 0;
    virtual bool Printing() const = 0;
    // The page being drawn, from 1 (0 outside a document).
    virtual int PageNumber() const = 0;

    // Where a page is drawn, and the fonts measured on this device.
    virtual ICanvas& Canvas() = 0;
    virtual IFonts& Fonts() = 0;

    // Today's date and the time now, in the system's short formats (page headers).
    virtual std::string ShortDate() const = 0;
    virtual std::string ShortTime() const = 0;
};

} // namespace quillet
