#pragma once
#include <string>

/// Base of every named thing in the scene graph; the name serves lookups.
class Object {
public:
    Object() = default;
    explicit Object(const std::string& name) : name(name) {}
    virtual ~Object() = default;
    Object(const Object&) = default;
    Object& operator=(const Object&) = default;

    const std::string& GetName() const { return name; }
    void SetName(const std::string& value) { name = value; }

private:
    std::string name;
};
