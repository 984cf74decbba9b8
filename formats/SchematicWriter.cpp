#include "formats/SchematicWriter.h"

#include "formats/BlockFile.h"

namespace tesselbox {

std::uint64_t SchematicFileSize(std::uint32_t width, std::uint32_t height) {
    return 124 + 2 * std::uint64_t{width} * height;
}

bool WriteSchematicStream(std::FILE* stream, const SchematicSource& source) {
    const std::unique_ptr<ByteSink> sink = MakeStreamSink(stream);
    return WriteBlockNbt(*sink, source, BlockFileOptions{}).ok() && sink->Finish();
}

}  // namespace tesselbox
