#include "tools/datakit/CDataKitController.h"

#include "engine/resource/CResourceSaveJob.h"
#include "engine/resource/CSafeFileWriter.h"
#include "tools/datakit/StoryDataKit.h"

CDataKitController::~CDataKitController()
{
    Release();
}

int CDataKitController::LoadOther(CkvrPackFile* pack, const char* name, uint32_t)
{
    // Only loose files are carried over; pack entries of other kinds have
    // no reader here.
    if (pack != nullptr || name == nullptr)
        return 1;
    m_names.push_back(name);
    m_paths.push_back(GetLoadPath(name));
    return 1;
}

int CDataKitController::SaveOther(CResourceSaveJob& job)
{
    for (size_t i = 0; i < m_names.size(); ++i)
    {
        std::vector<uint8_t> bytes;
        if (!CResourceSaveJob::ReadFile(m_paths[i], &bytes))
            return Fail("\"" + m_names[i] + "\"", "can't be read");
        std::string name = m_names[i];
        std::string error;
        if (!StoryDataKit::ToPackedForm(&name, &bytes, &error))
            return Fail("\"" + name + "\"", error.c_str());
        CSafeFileWriter* file = job.CreateFile(name);
        if (file == nullptr)
            return Fail("\"" + name + "\"", job.GetError().c_str());
        if (!file->Write(bytes.data(), bytes.size()) || !file->Close())
            return Fail("\"" + name + "\"", "can't be written");
        job.AddRecord(name);
    }
    return 1;
}

void CDataKitController::ReleaseOther()
{
    m_names.clear();
    m_paths.clear();
}
