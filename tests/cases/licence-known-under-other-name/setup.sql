INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA1010350007', '851234', 'DUPONT', 'Jean');
INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA1010350007', '861234', 'DUPONT', 'Jean');
