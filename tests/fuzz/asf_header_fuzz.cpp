// The ASF header parser and the script command reader on any bytes.
#include "input/wms/asf_header.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    audio::asf_header header;
    if (audio::parse_asf_header(data, size, &header) == audio::asf_parse::ok &&
        (header.data_start > size || header.header_size >= header.data_start)) {
        __builtin_trap(); // the packets must start inside what was parsed
    }
    (void)audio::script_command_text(data, size);
    return 0;
}
