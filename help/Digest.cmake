# Writes the size and SHA-256 digest of the compiled help into a header, so that the program can
# tell its own help file from a damaged one before the help library parses it.
# -D CHM=... -D OUTPUT=...
file(SIZE ${CHM} size)
file(SHA256 ${CHM} digest)
set(text "#pragma once\n\n// Made by the build from the PuloHelp.chm it compiled.\n\nnamespace pulo {\n\n"
    "inline constexpr long long OwnHelpFileSize = ${size};\n"
    "inline constexpr const char* OwnHelpFileDigest = \"${digest}\";\n\n} // namespace pulo\n")
# Rewritten only when it changes, so that an unchanged help file rebuilds nothing.
if(EXISTS ${OUTPUT})
    file(READ ${OUTPUT} old)
endif()
if(NOT "${old}" STREQUAL "${text}")
    file(WRITE ${OUTPUT} "${text}")
endif()
