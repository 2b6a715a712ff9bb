play --lang perl
