// Deleting the trees the loader builds. Counted pointers free nothing, so whoever drops a tree
// (the loader with a node no parent takes, a level at its end, a test) deletes it whole here.
#include "scene/CPSceneLoader.h"

#include "core/CPScheduler.h"
#include "scene/CPGameObject.h"
#include "scene/CPPartAnimation.h"

#include <unordered_set>

void CPSceneLoader::DeleteObject(CPGameObject* root) {
    if (root == nullptr) return;
    std::vector<CPGameObject*> roots{root};
    std::unordered_set<CPGameObject*> seen{root};
    std::vector<CPGameObject*> nodes;
    for (size_t r = 0; r < roots.size(); ++r) {
        std::vector<CPtr<CPGameObject>> tree;
        roots[r]->CollectTree(tree);
        for (const CPtr<CPGameObject>& node : tree) {
            if (node != roots[r] && !seen.insert(node.Get()).second) continue;
            nodes.push_back(node.Get());
            for (size_t k = 1; k < node->LodLevels.size(); ++k) {
                CPGameObject* substitute = node->LodLevels[k].first.Get();
                if (substitute != nullptr && seen.insert(substitute).second) roots.push_back(substitute);
            }
        }
    }
    // Tasks of an active tree leave the scheduler before their objects go.
    for (CPGameObject* tree : roots) tree->Deactivate();
    std::unordered_set<CPObject*> owned;
    for (CPGameObject* node : nodes) {
        owned.insert(node->RenderObject.Get());
        owned.insert(node->Physics.Get());
        for (const auto& [name, animation] : node->Animations) owned.insert(animation.Get());
        node->RenderObject = nullptr;
        node->Physics = nullptr;
        node->IdleAnimation = nullptr;
        node->Animations.clear();
        node->LodLevels.clear();
    }
    owned.erase(nullptr);
    // A task of the tree (a part animation, a particle system) still listed in the scheduler
    // is stopped and taken off the list before it goes, so the list holds nothing freed; a
    // part animation shared with a node outside the tree lets go of its target.
    CPScheduler* scheduler = CPScheduler::Instance;
    const std::unordered_set<CPGameObject*> doomed(nodes.begin(), nodes.end());
    for (CPObject* object : owned) {
        if (auto* animation = dynamic_cast<CPPartAnimation*>(object); animation != nullptr && doomed.contains(animation->Target)) {
            animation->Target = nullptr;
        }
        if (auto* task = dynamic_cast<CPTask*>(object)) {
            if (task->Running) task->Stop();
            if (scheduler != nullptr) {
                scheduler->Tasks.remove_if([task](const CPtr<CPTask>& listed) { return listed.Get() == task; });
            }
        }
    }
    for (CPObject* object : owned) delete object;
    // Leaves first, so no node outlives its children's parent pointer.
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) delete *it;
}
