// The port of the local Icecast that the CTest fixture started for the Windows tests.
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

// 0 when there is none. The fixture writes the port to a file; Wine shows the Unix root
// as drive Z:.
inline int icecast_port() {
    const char *file = std::getenv("BREVORA_ICECAST_PORT_FILE");
    if (!file)
        return 0;
    std::string path = std::string("Z:") + file;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    std::ifstream in(path);
    int port = 0;
    in >> port;
    return port;
}
