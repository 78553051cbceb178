#pragma once

#include <cstdint>

// Chunk ids of .ALO model files. Ids mean something only inside their parent chunk.
namespace alo {

// Top level.
constexpr std::uint32_t kSkeleton = 0x0200;
constexpr std::uint32_t kMesh = 0x0400;
constexpr std::uint32_t kConnections = 0x0600;

// Inside kSkeleton.
constexpr std::uint32_t kSkeletonHeader = 0x0201;
constexpr std::uint32_t kBone = 0x0202;
// Inside kBone.
constexpr std::uint32_t kBoneName = 0x0203;
constexpr std::uint32_t kBoneData = 0x0206;

// Inside kMesh.
constexpr std::uint32_t kMeshName = 0x0401;
constexpr std::uint32_t kGeometry = 0x10000;
constexpr std::uint32_t kMaterial = 0x10100;

// Inside kGeometry.
constexpr std::uint32_t kGeometryCounts = 0x10001;
constexpr std::uint32_t kVertexFormat = 0x10002;
constexpr std::uint32_t kIndices = 0x10004;
constexpr std::uint32_t kVertices = 0x10007;

// Inside kMaterial, told apart by the low byte of the id alone.
constexpr std::uint32_t kMaterialKindMask = 0xFF;
constexpr std::uint32_t kEffectName = 0x01;
constexpr std::uint32_t kFloatParameter = 0x03;
constexpr std::uint32_t kTextureParameter = 0x05;
constexpr std::uint32_t kFloat4Parameter = 0x06;

// Inside kConnections.
constexpr std::uint32_t kConnectionCount = 0x0601;
constexpr std::uint32_t kConnection = 0x0602;

// Mini-chunk ids inside kConnectionCount and kConnection.
constexpr std::uint8_t kMiniConnectionCount = 1;
constexpr std::uint8_t kMiniMeshIndex = 2;
constexpr std::uint8_t kMiniBoneIndex = 3;
constexpr std::uint8_t kMiniSecondValue = 4;

// Bytes of one stored vertex.
constexpr std::uint32_t kVertexSize = 144;

} // namespace alo
