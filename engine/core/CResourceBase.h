#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

// Root of nearly every engine and game class: a name (or raw buffer) in one
// owned, 16-byte aligned block, the block's size and a one-byte kind flag.
//
// Copies made with the duplicate switch off, and assignment, share one block
// between objects. The block carries a reference count so that each object
// may release it and it is freed exactly once, by the last holder.
class CResourceBase
{
public:
    // Kind flags set by the constructors of the resource classes.
    enum : uint8_t
    {
        KIND_TEXTURE = 0x01,
        KIND_MESH = 0x02,
        KIND_SOUND_BUFFER = 0x04,
        KIND_EFFECT_CONTAINER = 0x08,
        KIND_EFFECT = 0x10,
        KIND_SHADER = 0x20,
        KIND_MOVIE = 0x40,
        KIND_GAME_OBJECT = 0xFF,
    };

    CResourceBase();
    explicit CResourceBase(const char* name);
    explicit CResourceBase(int32_t size);
    CResourceBase(const CResourceBase& other);
    CResourceBase(const CResourceBase& other, int duplicate);
    CResourceBase& operator=(const CResourceBase& other);
    virtual ~CResourceBase();

    virtual uint32_t Release();
    virtual void SetName(const char* name);
    virtual void AllocBuffer(int32_t size);
    virtual char* GetName() const { return m_block; }
    virtual int32_t GetSize() const { return m_size; }
    virtual uint8_t GetFlag() const { return m_kind; }
    virtual const char* GetClassName() const { return "CResourceBase"; }

    // Every engine object starts zero-filled and 16-byte aligned.
    static void* operator new(size_t size);
    static void* operator new[](size_t size);
    static void* operator new(size_t size, void* place) noexcept { (void)size; return place; }
    static void operator delete(void* block) noexcept;
    static void operator delete[](void* block) noexcept;
    static void operator delete(void* block, void* place) noexcept { (void)block; (void)place; }

protected:
    void SetKind(uint8_t kind) { m_kind = kind; }

private:
    void FreeBlock();
    void ShareBlock(char* block);

    char* m_block = nullptr;
    int32_t m_size = 0;
    uint8_t m_kind = 0;
};
