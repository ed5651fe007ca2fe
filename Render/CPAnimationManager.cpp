#include "Render/CPAnimationManager.h"

#include "core/CPFileReader.h"
#include "core/CPLog.h"

CPAnimationManager* CPAnimationManager::Instance = nullptr;

CPAnimationManager::~CPAnimationManager() {
    // Taken first: each destructor looks for its own entry through Instance.
    std::unordered_map<std::string, CPAnimation*> owned;
    owned.swap(Animations);
    for (auto& [name, animation] : owned) {
        delete animation;
    }
}

CPtr<CPAnimation> CPAnimationManager::GetAnimation(const std::string& name, CPFileReader& reader) {
    const auto known = Animations.find(name);
    if (known != Animations.end() && known->second != nullptr) {
        std::string problem;
        if (!KeyFrameBlock::Skip(reader, problem)) {
            CPLog::GetInstance().Write(0, "Key frames of %s in %s refused: %s\n", name.c_str(),
                                       reader.GetFileName().c_str(), problem.c_str());
            return CPtr<CPAnimation>();
        }
        return CPtr<CPAnimation>(known->second);
    }
    CPAnimation* animation = new CPAnimation(name);
    Animations[name] = animation;  // also when this manager is not Instance
    if (!animation->Load(reader)) {
        Animations.erase(name);
        delete animation;
        return CPtr<CPAnimation>();
    }
    return CPtr<CPAnimation>(animation);
}
