// Vertex attribute names and the fixed locations every effect program binds them to.
//
// Our own vertex sources declare their inputs with the k*Attribute names below, so a
// program linked with "use shader attribute names" finds them. Programs written against
// the conventional in_* names are bound with the kStandard* names instead.
#pragma once

#include <GL/glew.h>

namespace Plugin::gl {

// Locations are fixed so vertex arrays can be set up once for every program.
inline constexpr GLuint kPositionLocation = 0;
inline constexpr GLuint kTexCoordLocation = 8;
inline constexpr GLuint kTexCoord0Location = 8;
inline constexpr GLuint kTexCoord1Location = 9;

// Identifiers our vertex sources use.
inline constexpr char kPositionAttribute[] = "position";
inline constexpr char kTexCoordAttribute[] = "texCoord";
inline constexpr char kTexCoord0Attribute[] = "texCoord0";
inline constexpr char kTexCoord1Attribute[] = "texCoord1";

// Conventional identifiers, bound when a program is not written against ours.
inline constexpr char kStandardPositionAttribute[] = "in_Position";
inline constexpr char kStandardTexCoordAttribute[] = "in_TexCoord";
inline constexpr char kStandardTexCoord0Attribute[] = "in_TexCoord0";
inline constexpr char kStandardTexCoord1Attribute[] = "in_TexCoord1";

// One vertex input: its fixed location and the two names it may be declared under.
struct AttributeRole {
    GLuint location;
    const char* ours;
    const char* standard;
    const char* name(bool useShaderAttributeNames) const {
        return useShaderAttributeNames ? ours : standard;
    }
};

inline constexpr AttributeRole kPositionRole{kPositionLocation, kPositionAttribute,
                                             kStandardPositionAttribute};
inline constexpr AttributeRole kTexCoordRole{kTexCoordLocation, kTexCoordAttribute,
                                             kStandardTexCoordAttribute};
inline constexpr AttributeRole kTexCoord0Role{kTexCoord0Location, kTexCoord0Attribute,
                                              kStandardTexCoord0Attribute};
inline constexpr AttributeRole kTexCoord1Role{kTexCoord1Location, kTexCoord1Attribute,
                                              kStandardTexCoord1Attribute};

}  // namespace Plugin::gl
