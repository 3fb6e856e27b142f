// The binary interface between Kestrel and an effect module (x86-64 Linux, System V).
//
// Shared by the plug-in and by our host stand-in, so both sides agree on every byte.
// Reserved members are spelled out as padding so that the static_asserts below pin each
// member to its offset; a host zero-initialises the records before filling them.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

using HostHandle = uint64_t;

struct CallArgs {
    const char* parameterId;  // changed (message 7) or hand-edited (messages 13, 14) parameter
};

struct HostImage {
    uint32_t texture;
    uint32_t pixelType;
    uint32_t internalFormat;
    int32_t textureWidth;
    int32_t textureHeight;
    int32_t width;
    int32_t height;
    float uMin;
    float vMin;
    float uMax;
    float vMax;
    float scaleX;
    float scaleY;
};

struct RenderContext {
    uint64_t valid;
    uint8_t reserved08[8];
    HostImage* source;
    HostImage* destination;
    HostImage* templateImage;
    uint8_t reserved28[0x18];
    const float* projection;  // 16 floats, column-major
    const float* modelView;   // 16 floats, column-major
    uint8_t reserved50[0x10];
    int32_t width;
    int32_t height;
    uint8_t reserved68[8];
    int32_t time;
    uint8_t reserved74[0x28];
    int32_t currentFrame;
    int32_t frameCount;
    uint8_t reservedA4[0x14];
    float pointOffsetX;
    float pointOffsetY;
};

struct PluginDescriptor {
    uint32_t zero;
    uint8_t classId[16];
    uint8_t reserved20[4];
    wchar_t* displayName;   // >= 512 characters
    wchar_t* category;      // >= 300
    wchar_t* vendor;        // >= 100
    wchar_t* legalNotice;   // >= 400
    uint32_t numbers56[5];  // 1, 2, 0, 0, 4
    uint8_t reserved76[12];
    uint32_t numbers88[3];  // 144585159, 16, 1
    uint8_t reserved100[4];
    char* identifier;  // >= 100, may be null
};

// Host operations, in table order.
using GetHostIdentifierFn = const wchar_t* (*)(HostHandle);
using BeginParameterGroupFn = int32_t (*)(HostHandle, const wchar_t* label);
using EndParameterGroupFn = int32_t (*)(HostHandle);
using DeclareFloatParameterFn = int32_t (*)(HostHandle, const wchar_t* label, const wchar_t* unit,
                                            const char* id, int32_t flags, float min, float max,
                                            float def, int32_t precision);
using DeclareIntParameterFn = int32_t (*)(HostHandle, const wchar_t* label, const wchar_t* unit,
                                          const char* id, int32_t flags, int32_t min, int32_t max,
                                          int32_t def);
using DeclareBoolParameterFn = int32_t (*)(HostHandle, const wchar_t* label, const char* id,
                                           int32_t flags, bool def);
using DeclareChoiceParameterFn = int32_t (*)(HostHandle, const wchar_t* label, const char* id,
                                             int32_t flags, const wchar_t* entries,
                                             const int32_t* values, int32_t defaultIndex);
using DeclarePointParameterFn = int32_t (*)(HostHandle, const wchar_t* label, const char* id,
                                            int32_t flags, double x, double y);
using SetParameterEnabledFn = void (*)(HostHandle, const char* id, const bool* enabled);
using GetIntParameterFn = int32_t (*)(HostHandle, const char* id, int32_t time);
using GetFloatParameterFn = float (*)(HostHandle, const char* id, int32_t time);
using GetBoolParameterFn = bool (*)(HostHandle, const char* id, int32_t time);
using GetChoiceParameterFn = int32_t (*)(HostHandle, const char* id, int32_t time);
using GetPointParameterFn = void (*)(HostHandle, const char* id, int32_t time, double* x,
                                     double* y);
using CreateImageFn = uint32_t (*)(HostHandle, const RenderContext*, int32_t width, int32_t height,
                                   uint32_t internalFormat, uint32_t format, uint32_t type,
                                   int32_t reserved0, int32_t reserved1, int32_t* textureWidth,
                                   int32_t* textureHeight, int32_t flag);
using GetSourceFrameFn = int32_t (*)(HostHandle, const RenderContext*, int32_t frameIndex,
                                     HostImage* out);
using ReleaseImageFn = void (*)(HostHandle, const RenderContext*, uint32_t texture);
using ReportProgressFn = int32_t (*)(HostHandle, int32_t done, int32_t total);
using SetFloatParameterFn = void (*)(HostHandle, const char* id, int32_t time, float value,
                                     int32_t mode);
using SetBoolParameterFn = void (*)(HostHandle, const char* id, int32_t time, bool value,
                                    int32_t mode);
using SetChoiceParameterFn = void (*)(HostHandle, const char* id, int32_t time, int32_t value,
                                      int32_t mode);
using BeginUndoGroupFn = void (*)(HostHandle, const char* name);
using EndUndoGroupFn = void (*)(HostHandle);
using DeclareButtonParameterFn = int32_t (*)(HostHandle, const wchar_t* label, const char* id,
                                             int32_t flags);
using DeclareLabelParameterFn = int32_t (*)(HostHandle, const wchar_t* label, const char* id,
                                            int32_t flags, const wchar_t* text);
using SetLabelTextFn = void (*)(HostHandle, const char* id, int32_t time, const wchar_t* text,
                                int32_t mode);
using CreateVertexArrayFn = uint32_t (*)(HostHandle);
using CreateBufferFn = uint32_t (*)(HostHandle, uint32_t target, int64_t size, const void* data,
                                    uint32_t usage, void** mapped, int32_t reserved);
using DeleteBufferFn = void (*)(HostHandle, uint32_t buffer);

struct HostApi {
    uint8_t reserved00[8];
    void* instanceData;
    uint8_t reserved10[8];
    const CallArgs* callArgs;
    RenderContext* renderContext;
    uint8_t diagnosticsFlag;
    uint8_t reserved29[0x17];
    GetHostIdentifierFn GetHostIdentifier;
    uint8_t reserved48[8];
    BeginParameterGroupFn BeginParameterGroup;
    EndParameterGroupFn EndParameterGroup;
    DeclareFloatParameterFn DeclareFloatParameter;
    DeclareIntParameterFn DeclareIntParameter;
    DeclareBoolParameterFn DeclareBoolParameter;
    DeclareChoiceParameterFn DeclareChoiceParameter;
    DeclarePointParameterFn DeclarePointParameter;
    uint8_t reserved88[0x20];
    SetParameterEnabledFn SetParameterEnabled;
    GetIntParameterFn GetIntParameter;
    GetFloatParameterFn GetFloatParameter;
    GetBoolParameterFn GetBoolParameter;
    GetChoiceParameterFn GetChoiceParameter;
    GetPointParameterFn GetPointParameter;
    uint8_t reservedD8[0x20];
    CreateImageFn CreateImage;
    uint8_t reserved100[0x18];
    GetSourceFrameFn GetSourceFrame;
    ReleaseImageFn ReleaseImage;
    uint8_t reserved128[0x50];
    ReportProgressFn ReportProgress;
    uint8_t reserved180[0x18];
    SetFloatParameterFn SetFloatParameter;
    SetBoolParameterFn SetBoolParameter;
    SetChoiceParameterFn SetChoiceParameter;
    uint8_t reserved1B0[0x20];
    BeginUndoGroupFn BeginUndoGroup;
    EndUndoGroupFn EndUndoGroup;
    uint8_t reserved1E0[0x48];
    DeclareButtonParameterFn DeclareButtonParameter;
    DeclareLabelParameterFn DeclareLabelParameter;
    uint8_t reserved238[0x38];
    SetLabelTextFn SetLabelText;
    uint8_t reserved278[0x218];
    uint32_t imageTemplateMode;
    uint8_t reserved494[0xc];
    CreateVertexArrayFn CreateVertexArray;
    CreateBufferFn CreateBuffer;
    DeleteBufferFn DeleteBuffer;
};

using PluginInfoFn = void (*)(void*, void*, PluginDescriptor*);
using NotifyFn = int32_t (*)(HostHandle, HostApi*, int32_t message);

}  // extern "C"

static_assert(sizeof(wchar_t) == 4, "the interface uses 32-bit wide characters");
static_assert(sizeof(CallArgs) == 8 && offsetof(CallArgs, parameterId) == 0);

static_assert(sizeof(HostImage) == 52);
static_assert(offsetof(HostImage, texture) == 0x00 && offsetof(HostImage, pixelType) == 0x04);
static_assert(offsetof(HostImage, internalFormat) == 0x08);
static_assert(offsetof(HostImage, textureWidth) == 0x0c &&
              offsetof(HostImage, textureHeight) == 0x10);
static_assert(offsetof(HostImage, width) == 0x14 && offsetof(HostImage, height) == 0x18);
static_assert(offsetof(HostImage, uMin) == 0x1c && offsetof(HostImage, vMin) == 0x20);
static_assert(offsetof(HostImage, uMax) == 0x24 && offsetof(HostImage, vMax) == 0x28);
static_assert(offsetof(HostImage, scaleX) == 0x2c && offsetof(HostImage, scaleY) == 0x30);

static_assert(sizeof(RenderContext) == 0xc0);
static_assert(offsetof(RenderContext, valid) == 0x00);
static_assert(offsetof(RenderContext, source) == 0x10);
static_assert(offsetof(RenderContext, destination) == 0x18);
static_assert(offsetof(RenderContext, templateImage) == 0x20);
static_assert(offsetof(RenderContext, projection) == 0x40);
static_assert(offsetof(RenderContext, modelView) == 0x48);
static_assert(offsetof(RenderContext, width) == 0x60 && offsetof(RenderContext, height) == 0x64);
static_assert(offsetof(RenderContext, time) == 0x70);
static_assert(offsetof(RenderContext, currentFrame) == 0x9c);
static_assert(offsetof(RenderContext, frameCount) == 0xa0);
static_assert(offsetof(RenderContext, pointOffsetX) == 0xb8);
static_assert(offsetof(RenderContext, pointOffsetY) == 0xbc);

static_assert(sizeof(PluginDescriptor) == 112);
static_assert(offsetof(PluginDescriptor, zero) == 0 && offsetof(PluginDescriptor, classId) == 4);
static_assert(offsetof(PluginDescriptor, displayName) == 24);
static_assert(offsetof(PluginDescriptor, category) == 32);
static_assert(offsetof(PluginDescriptor, vendor) == 40);
static_assert(offsetof(PluginDescriptor, legalNotice) == 48);
static_assert(offsetof(PluginDescriptor, numbers56) == 56);
static_assert(offsetof(PluginDescriptor, numbers88) == 88);
static_assert(offsetof(PluginDescriptor, identifier) == 104);

static_assert(sizeof(HostApi) == 0x4b8);
static_assert(offsetof(HostApi, instanceData) == 0x08);
static_assert(offsetof(HostApi, callArgs) == 0x18);
static_assert(offsetof(HostApi, renderContext) == 0x20);
static_assert(offsetof(HostApi, diagnosticsFlag) == 0x28);
static_assert(offsetof(HostApi, GetHostIdentifier) == 0x40);
static_assert(offsetof(HostApi, BeginParameterGroup) == 0x50);
static_assert(offsetof(HostApi, EndParameterGroup) == 0x58);
static_assert(offsetof(HostApi, DeclareFloatParameter) == 0x60);
static_assert(offsetof(HostApi, DeclareIntParameter) == 0x68);
static_assert(offsetof(HostApi, DeclareBoolParameter) == 0x70);
static_assert(offsetof(HostApi, DeclareChoiceParameter) == 0x78);
static_assert(offsetof(HostApi, DeclarePointParameter) == 0x80);
static_assert(offsetof(HostApi, SetParameterEnabled) == 0xa8);
static_assert(offsetof(HostApi, GetIntParameter) == 0xb0);
static_assert(offsetof(HostApi, GetFloatParameter) == 0xb8);
static_assert(offsetof(HostApi, GetBoolParameter) == 0xc0);
static_assert(offsetof(HostApi, GetChoiceParameter) == 0xc8);
static_assert(offsetof(HostApi, GetPointParameter) == 0xd0);
static_assert(offsetof(HostApi, CreateImage) == 0xf8);
static_assert(offsetof(HostApi, GetSourceFrame) == 0x118);
static_assert(offsetof(HostApi, ReleaseImage) == 0x120);
static_assert(offsetof(HostApi, ReportProgress) == 0x178);
static_assert(offsetof(HostApi, SetFloatParameter) == 0x198);
static_assert(offsetof(HostApi, SetBoolParameter) == 0x1a0);
static_assert(offsetof(HostApi, SetChoiceParameter) == 0x1a8);
static_assert(offsetof(HostApi, BeginUndoGroup) == 0x1d0);
static_assert(offsetof(HostApi, EndUndoGroup) == 0x1d8);
static_assert(offsetof(HostApi, DeclareButtonParameter) == 0x228);
static_assert(offsetof(HostApi, DeclareLabelParameter) == 0x230);
static_assert(offsetof(HostApi, SetLabelText) == 0x270);
static_assert(offsetof(HostApi, imageTemplateMode) == 0x490);
static_assert(offsetof(HostApi, CreateVertexArray) == 0x4a0);
static_assert(offsetof(HostApi, CreateBuffer) == 0x4a8);
static_assert(offsetof(HostApi, DeleteBuffer) == 0x4b0);
