// The headless host: what the game program does around the engine, without a window or
// input devices. It owns the engine's singletons (each later subsystem adds its own here),
// runs the frame loop that steps the scheduled tasks, feeds the mouse position, and
// registers script tasks with the command dispatcher. Tests and tools drive the engine
// through it.
//
// One host at a time: it sets the global instance pointers when it is created and clears
// them when it goes. Tasks and script tasks are not owned: their owners keep them alive
// while they are listed or registered, and past the host's end, which releases its lists.
//
// Order of life: COM, the scheduler and the dispatcher, the DirectSound device, the sound
// cache (sharing loads by name) and manager, the music player (scheduled at once), the actions manager, the game
// data, the Direct3D device (the recording stand-in) with the renderer, its two batchers and the frame
// drawing, the shared effect pool and the
// effect, texture and material managers, the two video players, the animation manager,
// the scene loader and the font manager, the game world's singletons (the particle manager,
// the renderer's shadow material, the physics world and the AI manager),
// the global timer (not scheduled: scripts start it) and last the script runtime with its Lua
// state. A level still current when the host ends is deleted before anything else goes. The end runs it backwards (the script tasks and
// the runtime go first) (the video players leave the scheduler's list
// first, and their installed textures to the texture manager): the managers delete
// their materials, textures and effects before the renderer and the device go, the
// scheduler's list is emptied before the music player goes and the special sounds' entries
// before the sounds go, so no reference outlives its object.
#pragma once

#include "Sound/NSound.h"
#include "Sound/PMusic.h"
#include "Sound/PSoundManager.h"
#include "Render/CPAVIPlayer.h"
#include "Render/CPAVIPlayer1.h"
#include "Render/CPAnimationManager.h"
#include "Render/CPEffectManager.h"
#include "Render/CPMaterialManager.h"
#include "Render/CPRender.h"
#include "Render/CPRenderBatcher.h"
#include "Render/CPRenderFrame.h"
#include "Render/CPTextureManager.h"
#include "core/CPActionsManager.h"
#include "core/CPGlobalTimer.h"
#include "core/CPCommandDispatcher.h"
#include "core/CPScheduler.h"
#include "core/CPScriptTask.h"
#include "game/CPAIManager.h"
#include "game/CPPhysicWorld.h"
#include "game/CPShotManager.h"
#include "game/EnemyDescription.h"
#include "interface/CPFontManager.h"
#include "interface/CPGameData.h"
#include "interface/CPInterface.h"
#include "platform/input/ScriptedMouse.h"
#include "scene/CPParticleManager.h"
#include "scene/CPSceneLoader.h"
#include "script/CPEnemyTable.h"
#include "script/CPScriptRuntime.h"
#include "platform/audio/DirectSound.h"
#include "platform/d3d9/D3D9Device.h"

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class Host {
public:
    // Initialises COM, creates the singletons and sets their instance pointers, schedules
    // the music player and resets the frame clocks. When no receiver is attached to the log,
    // attaches one that writes each report to standard error.
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The longest frame handed to the tasks, s: after a stall (loading, a debugger) the
    // race's fixed-step catch-up runs at most this much, not hundreds of steps.
    static constexpr float MaxFrameTime = 0.5f;

    // One frame of seconds (at most MaxFrameTime): FrameTime := seconds, FullTime += seconds,
    // FrameNumber += 1, then StepTasks, then the shots' flight (CPShotManager::Update and Draw
    // into the static batcher), then the frame drawing (skipped while the device is lost; a
    // device that can be reset is reset first). The recording device's call log is emptied
    // first once it holds more than 65536 calls.
    // True when the frame was presented. False when it was not: the frame ran (clocks and
    // tasks advanced) but its drawing was skipped because the device is lost, or the device
    // refused the scene or the present; or a negative or non-finite frame time ran nothing.
    bool RunFrame(float seconds);

    // RunFrame, and the readable dump of what the frame asked of the device (see
    // Render/FrameDump.h): its calls with the frame drawing's notes of layers and blocks.
    std::string DumpFrame(float seconds);

    // Calls Update of every running, unfinished task once, in list order, then takes the
    // finished tasks out of the list and stops those still running, so a task flagged by
    // CPScheduler::KillAllTasks can be added again.
    //
    // Updates may add, stop and kill tasks: a task added behind the one being stepped is
    // stepped in the same frame, one added ahead of it from the next frame on. A task that
    // is stopped and added again within one frame is stepped once per frame and listed
    // once afterwards, where adding it at the end of the frame would put it (after the
    // tasks of its priority). Only this loop removes entries from the list. The music
    // player is listed again whenever it runs and is not listed.
    void StepTasks();

    // Registers the task under name (unless empty) and in each category. A task that held
    // the name before is unregistered everywhere. False for a null task.
    bool RegisterScriptTask(CPScriptTask* task, const std::string& name, const std::vector<std::string>& categories);
    void UnregisterScriptTask(const CPScriptTask* task);

    // Adds the pack files matching the pattern to PackFiles (see core/PackFiles.h), in name
    // order; returns how many were added. A game program calls it once at start-up. Each
    // damaged or unreadable pack is reported once through the log.
    int AddPackFiles(const std::string& pattern = "*.pak");

    // Fills the game data's catalogues, texts, score tables and car presets from our campaign
    // data file, then puts back the score tables saved in "Data\scores.dat" when that file
    // is there and fits them. A game program calls it once at start-up (after AddPackFiles)
    // and does not start when it fails: the game data is then unchanged and `error` says
    // which file and line is at fault (it also goes to the log).
    bool LoadCampaignData(std::string& error, const std::string& fileName = CPGameData::CampaignDataFileName);

    // Shots: sets up a prototype in the shot manager for every shot of our shot description
    // file. A game program calls it once at start-up, after LoadCampaignData, and does not start
    // when it fails: `error` names the file and line at fault (it also goes to the log) and no
    // shot type was added.
    bool LoadShotDescriptions(std::string& error,
                              const std::string& fileName = CPShotManager::DescriptionFileName);

    // Enemies: reads our enemy description file into Enemies(). A game program calls it once at
    // start-up; false, with the file and line at fault in `error` (also logged) and the catalogue
    // unchanged, when the file cannot be read or is refused.
    bool LoadEnemyDescriptions(std::string& error, const std::string& fileName = "Data\\enemies.txt");

    // Fonts: loads every "Data\Interface\*.fnt" on disk or in a pack into the font manager,
    // each under its file name without ".fnt" (the name the screens' labels give), in name
    // order. A game program calls it once at start-up, after AddPackFiles, and does not start
    // when it fails: `error` names the first font file that does not load and why.
    bool LoadFonts(std::string& error);

    // Loads "Data\Sounds\" + fileName as the special sound name (is3D 1 for a 3-D sound);
    // the host owns it until it ends. False when it does not load or the name already has
    // a sound.
    bool AddSpecialSound(const std::string& name, const std::string& fileName, int is3D);

    // Runs "Data\Scripts\" + fileName as a script task owned by the host: registered under name
    // (unless empty) and in each category, then scheduled with the given priority. The task is
    // returned also when it could not start (its file unreadable or not compiling; the error is
    // logged and the task is finished); null only without a Lua state.
    CPLuaScriptTask* StartScript(const std::string& fileName, const std::string& name,
                                 const std::vector<std::string>& categories,
                                 int32_t priority = CPTask::DefaultPriority);

    // The cursor in pixels, as the input polling reads it.
    void SetMousePosition(float x, float y);
    // Hands the pointer device's waiting events to the interface screens, oldest first: a
    // move sets the mouse position and goes to CPInterface::OnMouseMove, a button press or
    // release goes to CPInterface::OnMouseDown / OnMouseUp at the current position. Each
    // frame starts with it.
    void PollInput();

    // Brings a lost device back when it can be reset (device objects give up and take back
    // their resources, the level's device state is put back). True when the device can draw;
    // false while it is lost, so the frame is skipped and this is tried again next frame.
    bool RestoreDevice();

    CPScheduler& Scheduler() { return *scheduler; }
    CPCommandDispatcher& Dispatcher() { return *dispatcher; }
    // Null when the device could not be created; sounds then fail to load.
    IDirectSound8* SoundDevice() { return soundDevice; }
    CPSoundCache& SoundCache() { return *soundCache; }
    CPSoundManager& SoundManager() { return *soundManager; }
    CPMusic& Music() { return *music; }
    CPActionsManager& ActionsManager() { return *actions; }
    D3D9RecordingDevice& RenderDevice() { return *renderDevice; }
    CPRender& Render() { return *render; }
    // The renderer's StaticBatcher and DynamicBatcher, and the frame drawing.
    CPRenderBatcher& StaticBatcher() { return *staticBatcher; }
    CPRenderBatcher& DynamicBatcher() { return *dynamicBatcher; }
    CPRenderFrame& Frame() { return *frame; }
    CPEffectManager& EffectManager() { return *effectManager; }
    CPTextureManager& TextureManager() { return *textureManager; }
    CPMaterialManager& MaterialManager() { return *materialManager; }
    CPAnimationManager& AnimationManager() { return *animationManager; }
    CPAVIPlayer& VideoPlayer() { return *videoPlayer; }
    CPAVIPlayer1& VideoPlayer1() { return *videoPlayer1; }
    CPSceneLoader& SceneLoader() { return *sceneLoader; }
    CPFontManager& FontManager() { return *fontManager; }
    CPGameData& GameData() { return *gameData; }
    CPGlobalTimer& GlobalTimer() { return *globalTimer; }
    // The shot manager: stepped and drawn by RunFrame after the tasks.
    CPShotManager& ShotManager() { return *shotManager; }
    // The enemy types read by LoadEnemyDescriptions.
    const EnemyCatalogue& Enemies() const { return enemies; }
    CPScriptRuntime& Scripts() { return *scripts; }
    // The enemy types of GetEnemyData, filled by the game program.
    CPEnemyTable& EnemyTable() { return *enemyTable; }
    // The game world's singletons (the level is the scripts'): the particle manager, the
    // physics world and the AI manager. The renderer's ShadowMaterial is made with them;
    // MainView is the level's camera's.
    CPParticleManager& ParticleManager() { return *particleManager; }
    CPPhysicWorld& PhysicWorld() { return *physicWorld; }
    CPAIManager& AIManager() { return *aiManager; }
    // The pointer device that PollInput reads.
    ScriptedMouse& Mouse() { return mouse; }

private:
    void CreateRenderer();
    // The game world's singletons; DestroyGameWorld deletes a level still current first.
    void CreateGameWorld();
    void DestroyGameWorld();
    void DestroyRenderer();
    // Empties the recording device's call log once it holds more than a frame's worth many times.
    void BoundCallLog();

    bool comInitialized = false;
    std::unique_ptr<CPScheduler> scheduler;
    std::unique_ptr<CPCommandDispatcher> dispatcher;
    IDirectSound8* soundDevice = nullptr;  // owned
    std::unique_ptr<CPSoundCache> soundCache;
    std::unique_ptr<CPSoundManager> soundManager;
    // The special sounds, deleted when the host ends (Release frees nothing).
    std::vector<std::unique_ptr<CNSound>> specialSounds;
    std::unique_ptr<CPMusic> music;
    // Whether the last sweep left the music player listed (only the sweep removes entries).
    bool musicListed = true;
    std::unique_ptr<CPActionsManager> actions;
    D3D9RecordingDevice* renderDevice = nullptr;  // owned
    D3DPRESENT_PARAMETERS presentParameters;
    std::unique_ptr<CPRender> render;
    std::unique_ptr<CPRenderBatcher> staticBatcher;
    std::unique_ptr<CPRenderBatcher> dynamicBatcher;
    std::unique_ptr<CPRenderFrame> frame;
    ID3DXEffectPool* effectPool = nullptr;  // owned
    std::unique_ptr<CPEffectManager> effectManager;
    std::unique_ptr<CPTextureManager> textureManager;
    std::unique_ptr<CPMaterialManager> materialManager;
    std::unique_ptr<CPAVIPlayer> videoPlayer;
    std::unique_ptr<CPAVIPlayer1> videoPlayer1;
    std::unique_ptr<CPAnimationManager> animationManager;
    std::unique_ptr<CPSceneLoader> sceneLoader;
    std::unique_ptr<CPFontManager> fontManager;
    std::unique_ptr<CPGameData> gameData;
    std::unique_ptr<CPGlobalTimer> globalTimer;
    std::unique_ptr<CPShotManager> shotManager;
    std::unique_ptr<CPEnemyTable> enemyTable;
    // Enemy types.
    EnemyCatalogue enemies;
    std::unique_ptr<CPScriptRuntime> scripts;
    // The game world's singletons.
    std::unique_ptr<CPParticleManager> particleManager;
    std::unique_ptr<CPPhysicWorld> physicWorld;
    std::unique_ptr<CPAIManager> aiManager;
    std::vector<std::unique_ptr<CPLuaScriptTask>> scriptTasks;
    ScriptedMouse mouse;
    // Per-frame bookkeeping of StepTasks, kept to reuse its storage.
    std::unordered_set<CPTask*> visited;
    std::vector<CPTask*> repeated;
    // Packs already reported as damaged.
    std::unordered_set<std::string> reportedPacks;
};
