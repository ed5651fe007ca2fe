#include "host/Host.h"

#include "DynamicSky/Skyscape.h"
#include "Render/FrameDump.h"
#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "core/ConfigVars.h"
#include "core/FrameTime.h"
#include "game/CPLevel.h"
#include "scene/MainView.h"
#include "platform/win32/ComRuntime.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

Host::Host() {
    // The engine's reports reach standard error unless the program attached a receiver first;
    // it stays attached after the host (standard error outlives it).
    if (!CPLog::GetInstance().HasSink()) {
        CPLog::GetInstance().SetSink(CPLog::StreamSink(stderr));
    }
    // The music player's filter graphs are COM objects of this thread.
    comInitialized = SUCCEEDED(CoInitialize(nullptr));

    scheduler = std::make_unique<CPScheduler>();
    dispatcher = std::make_unique<CPCommandDispatcher>();
    CPScheduler::Instance = scheduler.get();
    CPCommandDispatcher::Instance = dispatcher.get();

    if (FAILED(DirectSoundCreate8(nullptr, &soundDevice, nullptr))) {
        soundDevice = nullptr;
    }
    soundCache = std::make_unique<CPSoundCache>();
    soundCache->Device = soundDevice;
    // Shared sounds (a car's nitro, the shots') are read once, not again for every race.
    soundCache->Share = true;
    soundManager = std::make_unique<CPSoundManager>();
    soundManager->Cache = soundCache.get();
    CPSoundManager::Instance = soundManager.get();

    music = std::make_unique<CPMusic>();
    CPMusic::Instance = music.get();
    scheduler->AddTask(CPtr<CPMusic>(music.get()));

    actions = std::make_unique<CPActionsManager>();
    CPActionsManager::Instance = actions.get();
    gameData = std::make_unique<CPGameData>();
    CPGameData::Instance = gameData.get();

    CreateRenderer();
    CreateGameWorld();

    globalTimer = std::make_unique<CPGlobalTimer>();
    CPGlobalTimer::Instance = globalTimer.get();
    // Shots: filled by LoadShotDescriptions.
    shotManager = std::make_unique<CPShotManager>();
    CPShotManager::Instance = shotManager.get();
    // The enemy types the race scripts ask for.
    enemyTable = std::make_unique<CPEnemyTable>();
    CPEnemyTable::Instance = enemyTable.get();
    scripts = std::make_unique<CPScriptRuntime>();
    CPScriptRuntime::Instance = scripts.get();

    FrameTime = 0.0f;
    FullTime = 0.0;
    FrameNumber = 0;
}

namespace {

// Clears a global instance pointer that still points at what is going.
template <class T>
void ClearInstance(T*& instance, const T* own) {
    if (instance == own) {
        instance = nullptr;
    }
}

// The effect of the renderer's default shadow material.
constexpr const char* ShadowEffect = "shadow.fx";
constexpr const char* ShadowEffectFile = "Data\\Effects\\shadow.fx";
// Fade steps of the screen fade (0 none, MaxFade black).
constexpr int32_t MaxFade = 255;
// The batchers' rings: the frame's objects are written anew every frame into two slots of
// what 16-bit indices reach; the level's static meshes once into one.
constexpr int FrameRingSlots = 2;
constexpr uint32_t RingVertices = 65536;
constexpr uint32_t RingIndices = 3 * 65536;
// Device calls kept in the recording device's log before a frame starts it afresh.
constexpr size_t MaxLoggedCalls = 1 << 16;
// Cells of the radial-blur grid across and down the screen.
constexpr int BlurColumns = 16;
constexpr int BlurRows = 12;

}  // namespace

void Host::CreateRenderer() {
    renderDevice = D3D9RecordingDevice::Create();
    presentParameters.BackBufferWidth = static_cast<UINT>(Cfg::screenWidth);
    presentParameters.BackBufferHeight = static_cast<UINT>(Cfg::screenHeight);
    presentParameters.BackBufferCount = 1;

    render = std::make_unique<CPRender>();
    render->Device = renderDevice;
    D3DCAPS9 caps;
    if (SUCCEEDED(renderDevice->GetDeviceCaps(&caps))) {
        render->MaxAnisotropy = static_cast<int32_t>(caps.MaxAnisotropy);
    }
    render->MaxFade = MaxFade;
    render->CreateBlurGrid(BlurColumns, BlurRows);
    render->CreateSky = [] { return std::make_unique<Skyscape>(); };
    CPRender::Instance = render.get();
    staticBatcher = std::make_unique<CPRenderBatcher>(FrameRingSlots, RingVertices, RingIndices);
    dynamicBatcher = std::make_unique<CPRenderBatcher>(1, RingVertices, RingIndices);
    render->StaticBatcher = staticBatcher.get();
    render->DynamicBatcher = dynamicBatcher.get();
    frame = std::make_unique<CPRenderFrame>(*render);

    if (FAILED(D3DXCreateEffectPool(&effectPool))) {
        effectPool = nullptr;  // effects then compile on their own
    }
    effectManager = std::make_unique<CPEffectManager>();
    effectManager->Pool = effectPool;
    CPEffectManager::Instance = effectManager.get();
    textureManager = std::make_unique<CPTextureManager>();
    CPTextureManager::Instance = textureManager.get();
    materialManager = std::make_unique<CPMaterialManager>();
    CPMaterialManager::Instance = materialManager.get();
    videoPlayer = std::make_unique<CPAVIPlayer>();
    CPAVIPlayer::Instance = videoPlayer.get();
    videoPlayer1 = std::make_unique<CPAVIPlayer1>();
    CPAVIPlayer1::Instance = videoPlayer1.get();
    animationManager = std::make_unique<CPAnimationManager>();
    CPAnimationManager::Instance = animationManager.get();
    sceneLoader = std::make_unique<CPSceneLoader>();
    CPSceneLoader::Instance = sceneLoader.get();
    fontManager = std::make_unique<CPFontManager>();
    CPFontManager::Instance = fontManager.get();
}

void Host::DestroyRenderer() {
    // Fonts hold materials of the material manager.
    ClearInstance(CPFontManager::Instance, fontManager.get());
    fontManager.reset();
    // The figures sharing the animations are gone before the host ends.
    ClearInstance(CPSceneLoader::Instance, sceneLoader.get());
    sceneLoader.reset();
    ClearInstance(CPAnimationManager::Instance, animationManager.get());
    animationManager.reset();
    // The players leave the task list before they go; a texture still shown goes to its entry.
    scheduler->Tasks.remove_if([this](const CPtr<CPTask>& task) {
        return task.Get() == videoPlayer.get() || task.Get() == videoPlayer1.get();
    });
    ClearInstance(CPAVIPlayer1::Instance, videoPlayer1.get());
    videoPlayer1.reset();
    ClearInstance(CPAVIPlayer::Instance, videoPlayer.get());
    videoPlayer.reset();
    // Materials hold effects and blocks, blocks hold textures; the managers delete their
    // resources, whose destructors look for their manager, so each goes after its pointer.
    ClearInstance(CPMaterialManager::Instance, materialManager.get());
    materialManager.reset();
    ClearInstance(CPTextureManager::Instance, textureManager.get());
    textureManager.reset();
    ClearInstance(CPEffectManager::Instance, effectManager.get());
    effectManager.reset();
    SafeRelease(effectPool);
    // The batchers hold device buffers: they go before the renderer and its device.
    frame.reset();
    render->StaticBatcher = nullptr;
    render->DynamicBatcher = nullptr;
    staticBatcher.reset();
    dynamicBatcher.reset();
    ClearInstance(CPRender::Instance, render.get());
    render.reset();
    SafeRelease(renderDevice);
}

void Host::CreateGameWorld() {
    particleManager = std::make_unique<CPParticleManager>();
    CPParticleManager::Instance = particleManager.get();
    // What meshes are drawn into shadows with, unless their section chooses another; a game
    // folder without its effect (a tool's, a test's) has none, and the loader gives none.
    if (CPFileReader probe(ShadowEffectFile, false); probe.Load() == S_OK) {
        render->ShadowMaterial = materialManager->GetMaterial(ShadowEffect, {}, 0);
    }
    physicWorld = std::make_unique<CPPhysicWorld>();
    CPPhysicWorld::Instance = physicWorld.get();
    aiManager = std::make_unique<CPAIManager>();
    CPAIManager::Instance = aiManager.get();
}

void Host::DestroyGameWorld() {
    for (CPTask* task : {static_cast<CPTask*>(aiManager.get()), static_cast<CPTask*>(physicWorld.get())}) {
        scheduler->Tasks.remove_if([task](const CPtr<CPTask>& listed) { return listed.Get() == task; });
    }
    ClearInstance(CPAIManager::Instance, aiManager.get());
    aiManager.reset();
    ClearInstance(CPPhysicWorld::Instance, physicWorld.get());
    physicWorld.reset();
    render->ShadowMaterial = nullptr;
    ClearInstance(CPParticleManager::Instance, particleManager.get());
    particleManager.reset();
    MainView = nullptr;
}

bool Host::RestoreDevice() {
    const HRESULT state = renderDevice->TestCooperativeLevel();
    if (state == D3DERR_DEVICENOTRESET) {
        return SUCCEEDED(render->ResetDevice(&presentParameters));
    }
    return SUCCEEDED(state);
}

Host::~Host() {
    // A level still current goes first, while its objects' script tasks and everything its
    // objects, cars and camera use are still there.
    delete CPLevel::Current;
    // Script tasks leave the lists before they go, and go before the state they run in.
    for (const std::unique_ptr<CPLuaScriptTask>& task : scriptTasks) {
        dispatcher->Unregister(task.get());
        scheduler->Tasks.remove_if([&task](const CPtr<CPTask>& listed) { return listed.Get() == task.get(); });
    }
    scriptTasks.clear();
    // Blocks of a frame not drawn may still hold what the scripts made (their screens).
    if (staticBatcher && dynamicBatcher) {
        staticBatcher->EndFrame();
        dynamicBatcher->EndFrame();
    }
    ClearInstance(CPScriptRuntime::Instance, scripts.get());
    scripts.reset();
    scheduler->Tasks.remove_if([this](const CPtr<CPTask>& listed) { return listed.Get() == globalTimer.get(); });
    ClearInstance(CPGlobalTimer::Instance, globalTimer.get());
    globalTimer.reset();
    ClearInstance(CPEnemyTable::Instance, enemyTable.get());
    enemyTable.reset();
    DestroyGameWorld();
    // The shots and their sounds go before the sound device and the renderer.
    ClearInstance(CPShotManager::Instance, shotManager.get());
    shotManager.reset();
    DestroyRenderer();
    ClearInstance(CPGameData::Instance, gameData.get());
    gameData.reset();
    ClearInstance(CPActionsManager::Instance, actions.get());
    ClearInstance(CPMusic::Instance, music.get());
    ClearInstance(CPSoundManager::Instance, soundManager.get());
    ClearInstance(CPCommandDispatcher::Instance, dispatcher.get());
    ClearInstance(CPScheduler::Instance, scheduler.get());

    actions.reset();
    // The list's references go before the music player they may point at.
    scheduler->Tasks.clear();
    music.reset();
    // Entries hold references to the sounds: empty them before the sounds are deleted.
    soundManager->SpecialSounds.clear();
    soundCache->Entries.clear();
    specialSounds.clear();
    soundManager.reset();
    soundCache.reset();
    SafeRelease(soundDevice);
    dispatcher.reset();
    scheduler.reset();
    if (comInitialized) {
        CoUninitialize();
    }
}

bool Host::LoadCampaignData(std::string& error, const std::string& fileName) {
    if (!gameData->LoadCampaignData(fileName, error)) {
        CPLog::GetInstance().Write(0, "%s\n", error.c_str());
        return false;
    }
    gameData->LoadScores();
    return true;
}

bool Host::LoadShotDescriptions(std::string& error, const std::string& fileName) {
    if (!shotManager->LoadDescriptions(fileName, error)) {
        CPLog::GetInstance().Write(0, "%s\n", error.c_str());
        return false;
    }
    return true;
}

bool Host::LoadEnemyDescriptions(std::string& error, const std::string& fileName) {
    if (!::LoadEnemyDescriptions(fileName, enemies, error)) {
        CPLog::GetInstance().Write(0, "%s\n", error.c_str());
        return false;
    }
    return true;
}

bool Host::RunFrame(float seconds) {
    if (!std::isfinite(seconds) || seconds < 0.0f) {
        return false;
    }
    BoundCallLog();
    seconds = std::min(seconds, MaxFrameTime);
    FrameTime = seconds;
    FullTime += seconds;
    // Wraps instead of overflowing; readers only compare it for equality.
    FrameNumber = static_cast<int32_t>(static_cast<uint32_t>(FrameNumber) + 1u);
    PollInput();
    StepTasks();
    shotManager->Update();
    shotManager->Draw(*staticBatcher);
    // A device that can be reset is reset first; one still lost makes the drawing drop what
    // the frame gathered, and the next frame tries again.
    RestoreDevice();
    return frame->Draw(seconds);
}

void Host::BoundCallLog() {
    // The recording device logs every call; a host running for long keeps only the recent ones.
    if (renderDevice->Calls().size() > MaxLoggedCalls) {
        renderDevice->ClearCalls();
    }
}

std::string Host::DumpFrame(float seconds) {
    BoundCallLog();
    FrameDump dump(renderDevice);
    frame->Dump = &dump;
    RunFrame(seconds);
    frame->Dump = nullptr;
    return dump.Text();
}

void Host::StepTasks() {
    std::list<CPtr<CPTask>>& tasks = scheduler->Tasks;

    // The music player stays scheduled while it runs: a stop (a script's, or this loop's
    // after a kill) took it off the list, and a piece started or loaded to loop since has
    // made it running again.
    if (music->Running && !musicListed) {
        tasks.emplace(scheduler->PlaceFor(music->Priority), music.get());
    }

    // Step. std::list keeps the iterator valid across insertions made by the updates.
    visited.clear();
    for (auto entry = tasks.begin(); entry != tasks.end(); ++entry) {
        CPTask* task = entry->Get();
        if (task == nullptr || !task->Running || task->Finished) {
            continue;
        }
        if (!visited.insert(task).second) {
            continue;  // listed twice after a stop and re-add: one step per frame
        }
        task->Update();
    }

    // Sweep finished tasks and note the tasks listed more than once.
    visited.clear();
    repeated.clear();
    for (auto entry = tasks.begin(); entry != tasks.end();) {
        CPTask* task = entry->Get();
        if (task == nullptr) {
            entry = tasks.erase(entry);
        } else if (task->Finished) {
            entry = tasks.erase(entry);
            // Stop may list tasks again; the list is no longer looked at through this entry.
            if (task->Running) {
                task->Stop();
            }
        } else {
            if (!visited.insert(task).second) {
                repeated.push_back(task);
            }
            ++entry;
        }
    }

    // A task stopped and added again within the frame has its old entry as well, at the
    // place of its old priority: keep one, where adding it now puts it, so the list stays
    // sorted.
    for (CPTask* task : repeated) {
        tasks.remove_if([task](const CPtr<CPTask>& listed) { return listed.Get() == task; });
        tasks.emplace(scheduler->PlaceFor(task->Priority), task);
    }
    musicListed = visited.contains(music.get());
}

bool Host::RegisterScriptTask(CPScriptTask* task, const std::string& name,
                              const std::vector<std::string>& categories) {
    if (task == nullptr) {
        return false;
    }
    if (!name.empty()) {
        // Looked up in place: a CPtr copy would reset the holder's count when it goes.
        const auto previous = dispatcher->ByName.find(name);
        if (previous != dispatcher->ByName.end() && previous->second.Get() != task) {
            dispatcher->Unregister(previous->second.Get());
        }
        dispatcher->RegisterName(name, task);
    }
    for (const std::string& category : categories) {
        dispatcher->RegisterCategory(category, task);
    }
    return true;
}

void Host::UnregisterScriptTask(const CPScriptTask* task) { dispatcher->Unregister(task); }

CPLuaScriptTask* Host::StartScript(const std::string& fileName, const std::string& name,
                                   const std::vector<std::string>& categories, int32_t priority) {
    if (scripts->State() == nullptr) {
        return nullptr;
    }
    CPLuaScriptTask* task = scriptTasks.emplace_back(std::make_unique<CPLuaScriptTask>(*scripts, fileName)).get();
    task->Priority = priority;
    RegisterScriptTask(task, name, categories);
    scheduler->AddTask(CPtr<CPLuaScriptTask>(task));
    return task;
}

bool Host::AddSpecialSound(const std::string& name, const std::string& fileName, int is3D) {
    // Loaded straight into the entry, so the manager's reference is the sound's only one.
    CPtr<CNSound>& entry = soundManager->SpecialSounds[name];
    if (entry) {
        return false;  // callers may hold the sound there; it stays
    }
    soundCache->LoadSound(entry, fileName, is3D, true);
    if (!entry) {
        return false;  // the name is left with a null sound, as an unknown name is asked
    }
    specialSounds.emplace_back(entry.Get());
    return true;
}

void Host::SetMousePosition(float x, float y) {
    actions->MouseX = x;
    actions->MouseY = y;
}

void Host::PollInput() {
    MouseEvent event;
    while (mouse.Poll(event)) {
        switch (event.EventKind) {
        case MouseEvent::Move:
            SetMousePosition(event.X, event.Y);
            CPInterface::OnMouseMove(event.X, event.Y);
            break;
        case MouseEvent::Press:
            CPInterface::OnMouseDown(event.Button, actions->MouseX, actions->MouseY);
            break;
        case MouseEvent::Release:
            CPInterface::OnMouseUp(event.Button, actions->MouseX, actions->MouseY);
            break;
        }
    }
}
