#pragma once
#include <cstring>

/// The meaning of a mesh input or source. The numbers are the ones the log
/// lines print ("Unsupported polygon semantic '9'.").
class DaeSemantic {
public:
    enum Value {
        Unknown = -1,
        Position = 0,
        Vertex = 1,
        Normal = 2,
        GeoTangent = 3,
        GeoBinormal = 4,
        TexCoord = 5,
        TexTangent = 6,
        TexBinormal = 7,
        Uv = 8,
        Color = 9,
        Extra = 10,
        PointSize = 11,
        PointRotation = 12
    };

    /// The value of an input's "semantic" attribute; Unknown for anything else.
    static Value FromName(const char* name) {
        struct Entry {
            const char* name;
            Value value;
        };
        static const Entry table[] = {
            {"POSITION", Position},   {"VERTEX", Vertex},          {"NORMAL", Normal},
            {"TANGENT", GeoTangent},  {"BINORMAL", GeoBinormal},   {"TEXCOORD", TexCoord},
            {"TEXTANGENT", TexTangent}, {"TEXBINORMAL", TexBinormal}, {"UV", Uv},
            {"COLOR", Color},         {"EXTRA", Extra},            {"POINT_SIZE", PointSize},
            {"POINT_ROTATION", PointRotation}};
        for (const Entry& entry : table)
            if (std::strcmp(name, entry.name) == 0) return entry.value;
        return Unknown;
    }

    /// Components a converted element of this kind reads (0: not converted).
    static unsigned Components(int value) {
        return value == Position || value == Normal ? 3u : value == TexCoord ? 2u : 0u;
    }
};
