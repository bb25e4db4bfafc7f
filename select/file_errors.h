// Failures of the selection run that come from one FITS file name that file.
// The FITS reader's own messages for a broken header card ("FITS file not
// SIMPLE"), a missing keyword ("cannot find keyword 'CRVAL1  '") or a
// projection that cannot be inverted do not say which file they are about,
// and the run reads several files; so every place where the run opens or
// reads a given file passes such a failure on as
//     <file>: <original message>
// with the original text intact and the exception's type unchanged. Messages
// that name their file already (sci::FitsException::file()) pass unchanged.
// A FITS failure about a tile-compressed file, which the reader cannot read,
// ends with sci::tileCompressedNote().
#pragma once

#include <memory>
#include <string>

#include "sci/exceptions.h"
#include "sci/fits_in.h"

namespace selection {

// file + ": " + message.
std::string fileMessage(std::string const& file, char const* message);

// message, followed by sci::tileCompressedNote() when file is a
// tile-compressed FITS file (sci::isTileCompressed, asked only here, on the
// way out of a failure).
std::string withCompressionNote(std::string const& file, std::string message);

// Runs read() and returns what it returns; a sci::FitsException or
// sci::LinearAlgebraException (sci::SingularMatrixException kept apart) that
// it throws is thrown again with the message fileMessage(file, what()) (a
// FitsException: withCompressionNote of it), unless it is a FitsException
// whose message names its file already.
template <class Read>
auto namingFile(std::string const& file, Read&& read) -> decltype(read()) {
    try {
        return read();
    } catch (sci::FitsException const& e) {
        if (!e.file().empty()) throw;
        throw sci::FitsException(withCompressionNote(file, fileMessage(file, e.what())), file);
    } catch (sci::SingularMatrixException const& e) {
        throw sci::SingularMatrixException(fileMessage(file, e.what()));
    } catch (sci::LinearAlgebraException const& e) {
        throw sci::LinearAlgebraException(fileMessage(file, e.what()));
    }
}

// A reader of the FITS file name, opened as the run opens every file; a
// failure to open it is passed on as namingFile does.
std::unique_ptr<sci::FitsIn> openNamingFile(std::string const& name);

}  // namespace selection
