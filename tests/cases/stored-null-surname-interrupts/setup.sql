INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA1010350007', '851234', NULL, 'Jean');
