// The simulator's entry to the step; the step itself is RbStepper.
#include "physics/RbSimulator.h"

#include <new>

RbSimulator::~RbSimulator() {
    if (Stepper != nullptr) {
        Stepper->~RbStepper();
        Allocator->Free(Stepper);
    }
}

void RbSimulator::Step(float timeStep) {
    if (Stepper == nullptr) {
        void* memory = Allocator->Alloc(sizeof(RbStepper), 0);
        if (memory == nullptr) {
            ReportError(1, "Failed to allocate memory.\n");
            return;
        }
        Stepper = new (memory) RbStepper();
        if (!Stepper->Create(this, Allocator)) {
            Stepper->~RbStepper();
            Allocator->Free(Stepper);
            Stepper = nullptr;
            ReportError(1, "Failed to allocate memory.\n");
            return;
        }
    }
    Stepper->Step(timeStep);
}
