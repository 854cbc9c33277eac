// Placeholder definitions, replaced as the pieces are built.
#include <stdexcept>
#include "staging/output_file.h"

OutputFile::~OutputFile() {}
void OutputFile::Open(const std::string&) { throw std::logic_error("not built yet: OutputFile::Open"); }
void OutputFile::WriteLine(std::string_view) { throw std::logic_error("not built yet: OutputFile::WriteLine"); }
void OutputFile::Commit() { throw std::logic_error("not built yet: OutputFile::Commit"); }
void OutputFile::Abort() { throw std::logic_error("not built yet: OutputFile::Abort"); }
OutputFile& FileNumber1() { throw std::logic_error("not built yet: FileNumber1"); }
